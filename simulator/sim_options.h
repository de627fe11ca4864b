// Everything the qel-sim command line can say.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device_options.h"

namespace qelsim {

enum class Transport { kNone, kTcp, kPty };

using IPv4Address = std::array<std::uint8_t, 4>;

// Faults and timing of the line rather than of the device's memory and commands.
struct TransportFaults {
    std::uint32_t closeAfterRequest = 0;  // TCP: close the connection once, after request N
    std::uint32_t refuseConnections = 0;  // TCP: accept and close the first K connections
    std::uint32_t replyDelayMs = 0;       // the device is busy this long before every reply
    std::uint32_t baud = 0;               // 10 bits a character, both ways; 0: full speed
    std::set<std::uint32_t> lateReplies;  // held back until the next request has arrived
    std::map<std::uint32_t, std::uint32_t> slowReplies;  // request number -> extra delay in ms
    std::set<std::uint32_t> strayAfter;        // one stray character follows the reply to N
    std::set<std::uint32_t> duplicateReplies;  // the reply to N leaves twice
    bool closeOnReset = false;                 // the device drops the line after answering a reset
    std::chrono::milliseconds idleLimit{60000};  // TCP: close a silent connection; 0: never
    double noiseBitErrorRate = 0;                // both ways; 0: a clean line
    std::uint64_t noiseSeed = 1;
    std::uint32_t latencyMs = 0;  // the link's delay: a reply leaves this long after its request
    std::uint32_t flashMs = 0;    // the device is busy this long with every page it writes
};

struct SimOptions {
    Transport transport = Transport::kNone;
    std::uint16_t tcpPort = 0;
    IPv4Address listenAddress{127, 0, 0, 1};
    std::string dumpFile;
    std::string logFile;
    std::string configFile;  // 34 bytes
    std::string dataFile;    // 93 bytes
    std::string rawFile;     // 6 info bytes, value offset, encoding, then the data
    std::string loadFile;    // raw bytes for memory at device.preloadAddress
    DeviceOptions device;
    TransportFaults line;
    bool help = false;
};

struct ParseResult {
    SimOptions options;
    std::string error;  // empty when the command line was understood
};

ParseResult ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText();

// Reads the block files and the memory file named in the options into its device options; an
// error text, or empty.
std::string LoadBlockFiles(SimOptions& options);

}  // namespace qelsim
