// One service command with its operands checked, before any channel is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace service {

enum class Command {
    kReadConfig,
    kWriteConfig,
    kReadClock,
    kWriteClock,
    kReadMemory,
    kWriteMemory,
    kCrc,
    kRawData,
    kData,
    kReset,
};

struct ServiceRequest {
    Command command = Command::kReset;
    std::string name;
    std::uint32_t address = 0;
    std::uint32_t size = 0;
    std::uint8_t code = 0;
    std::string file;
    // The block to write (configuration, clock) or the file's bytes (write-mem, crc).
    std::vector<std::uint8_t> bytes;
};

// The request, or the reason it is refused (without "ERROR: " or a line break).
struct RequestParse {
    ServiceRequest request;
    std::string error;
};

// Checks the command and its operands and loads the input file a command needs.
RequestParse ParseRequest(const std::string& command, const std::vector<std::string>& operands);

// Each command's synopsis, for the usage text.
std::vector<std::string> CommandSynopses();

// Memory ranges are at most this long, so that a mistyped size cannot exhaust the PC.
inline constexpr std::uint32_t kMaxRangeBytes = 0x1000000;

}  // namespace service
