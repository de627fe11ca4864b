// What a simulated device holds at power-on and which faults it shows. Request numbers count every
// request line the device receives, from 1.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <vector>

#include "clock_block.h"

namespace qelsim {

inline constexpr std::size_t kConfigurationSize = 34;
inline constexpr std::size_t kDataPayloadSize = 93;
inline constexpr std::uint32_t kForever = std::numeric_limits<std::uint32_t>::max();

// The body of the variable-length raw data reply (command 0x05).
struct RawDataReply {
    std::array<std::uint8_t, 6> info{};  // bytes the host does not interpret
    std::uint8_t valueOffset = 0;
    std::uint8_t encoding = 0;       // 0 plain, 1 offset-encoded
    std::vector<std::uint8_t> data;  // at most 0xFFFF bytes: the count field is 16 bits
};

std::array<std::uint8_t, kConfigurationSize> DefaultConfiguration();
std::array<std::uint8_t, kDataPayloadSize> DefaultDataPayload();
RawDataReply DefaultRawData();

struct DeviceOptions {
    std::size_t memorySize = 1 << 20;

    std::set<std::uint32_t> dropReplies;            // acted on, but the reply is never sent
    std::set<std::uint32_t> corruptReplies;         // reply sent with a CRC16 that fails
    std::set<std::uint32_t> wrongIdReplies;         // reply carries another message id
    std::set<std::uint32_t> failStatusRequests;     // refused with status byte 1, nothing done
    std::optional<std::uint32_t> failWriteAddress;  // page writes there are refused ...
    std::uint32_t failWriteTimes = kForever;        // ... this many times, then accepted
    std::optional<std::uint32_t> flipReadAddress;   // page reads there return one byte changed
    bool lieAboutCrc16 = false;                     // 0x1C answers a CRC16 that is wrong

    // After each accepted reset the device ignores this many requests (kForever: all of them) ...
    std::uint32_t silentRequestsAfterReset = 0;
    // ... and everything that arrives within this time of the reset.
    std::chrono::milliseconds silentTimeAfterReset{0};

    // How many request records Requests() keeps; a long-running device keeps only the latest.
    std::size_t requestHistory = std::numeric_limits<std::size_t>::max();

    // The device's notion of now; the host's clock when empty. Tests inject their own.
    std::function<WallTime()> clock;

    std::array<std::uint8_t, kConfigurationSize> configuration = DefaultConfiguration();
    std::array<std::uint8_t, kDataPayloadSize> dataPayload = DefaultDataPayload();
    RawDataReply rawData = DefaultRawData();

    // Memory at power-on, 0xFF elsewhere: these bytes from this address (they must fit).
    std::uint32_t preloadAddress = 0;
    std::vector<std::uint8_t> preload;
};

}  // namespace qelsim
