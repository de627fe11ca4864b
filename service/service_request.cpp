#include "service_request.h"

#include <optional>

#include "input_file.h"
#include "memory_range.h"
#include "number_text.h"
#include "qel_records.h"

namespace service {
namespace {

struct CommandSpec {
    const char* name;
    Command command;
    const char* operands;
    std::size_t minOperands;
    std::size_t maxOperands;
};

constexpr CommandSpec kCommands[] = {
    {"read-config", Command::kReadConfig, "", 0, 0},
    {"write-config", Command::kWriteConfig, "<68 hex digits>", 1, 1},
    {"read-clock", Command::kReadClock, "", 0, 0},
    {"write-clock", Command::kWriteClock, "<32 hex digits>", 1, 1},
    {"read-mem", Command::kReadMemory, "<address> <size> <file>", 3, 3},
    {"write-mem", Command::kWriteMemory, "<address> <file>", 2, 2},
    {"crc", Command::kCrc, "<address> <size> [<file>]", 2, 3},
    {"raw", Command::kRawData, "", 0, 0},
    {"data", Command::kData, "<code>", 1, 1},
    {"reset", Command::kReset, "", 0, 0},
};

const CommandSpec* FindCommand(const std::string& name) {
    for (const CommandSpec& spec : kCommands) {
        if (name == spec.name) {
            return &spec;
        }
    }
    return nullptr;
}

std::string Synopsis(const CommandSpec& spec) {
    return std::string(spec.name) + (spec.operands[0] != '\0' ? " " : "") + spec.operands;
}

std::string TakeBlock(ServiceRequest& request, const std::string& text, std::size_t bytes) {
    auto parsed = ParseHexBytes(text, bytes);
    if (!parsed) {
        return "The block must be exactly " + std::to_string(2 * bytes) + " hex digits.";
    }
    request.bytes = std::move(*parsed);
    return {};
}

// A number operand into its field; the refusal names the operand.
std::string TakeNumber(std::uint32_t& field, const char* name, const std::string& text) {
    const auto number = ParseNumber(text);
    if (!number) {
        return std::string(name) + " [" + text + "] is not a number.";
    }
    field = *number;
    return {};
}

std::string TakeAddress(ServiceRequest& request, const std::string& text) {
    return TakeNumber(request.address, "Address", text);
}

// A size of 1 to kMaxRangeBytes whose range stays inside the 32-bit address space.
std::string CheckRange(const ServiceRequest& request) {
    if (request.size == 0 || request.size > kMaxRangeBytes) {
        return "Size must be 1 to " + std::to_string(kMaxRangeBytes) + " bytes.";
    }
    if (!qel::RangeFitsAddressSpace(request.address, request.size)) {
        return "The range runs past the end of the address space.";
    }
    return {};
}

std::string TakeSize(ServiceRequest& request, const std::string& text) {
    std::string refusal = TakeNumber(request.size, "Size", text);
    return refusal.empty() ? CheckRange(request) : refusal;
}

// At most maxBytes of the file, which is all the command can use; moreBeyond tells whether the
// file holds more.
std::string LoadFile(ServiceRequest& request, const std::string& path, std::size_t maxBytes,
                     bool& moreBeyond) {
    request.file = path;
    cli::BoundedInput input = cli::ReadInputFile(path, maxBytes);
    if (input.status == cli::BoundedInput::Status::kNotReadable) {
        return "File [" + path + "] " + cli::NotReadableReason(input.kind) + ".";
    }
    if (input.status != cli::BoundedInput::Status::kRead) {
        return "Cannot read file [" + path + "].";
    }
    request.bytes = std::move(input.bytes);
    moreBeyond = input.moreBeyond;
    return {};
}

std::string TakeWriteFile(ServiceRequest& request, const std::string& path) {
    bool tooLarge = false;
    std::string error = LoadFile(request, path, kMaxRangeBytes, tooLarge);
    if (!error.empty()) {
        return error;
    }
    if (request.bytes.empty() || tooLarge) {
        return "File [" + path + "] must hold 1 to " + std::to_string(kMaxRangeBytes) + " bytes.";
    }
    request.size = static_cast<std::uint32_t>(request.bytes.size());
    return CheckRange(request);
}

// A CRC compares the range's length of the file; what lies beyond it is not read.
std::string TakeCrcFile(ServiceRequest& request, const std::string& path) {
    bool longer = false;
    std::string error = LoadFile(request, path, request.size, longer);
    if (!error.empty()) {
        return error;
    }
    if (request.bytes.size() < request.size) {
        return "File [" + path + "] holds fewer than " + std::to_string(request.size) + " bytes.";
    }
    return {};
}

std::string TakeCode(ServiceRequest& request, const std::string& text) {
    const auto code = ParseNumber(text);
    if (!code || *code > 0xFF) {
        return "Code [" + text + "] must be a number from 0 to 255.";
    }
    request.code = static_cast<std::uint8_t>(*code);
    return {};
}

std::string TakeOperands(ServiceRequest& request, const std::vector<std::string>& operands) {
    switch (request.command) {
        case Command::kWriteConfig:
            return TakeBlock(request, operands[0], sizeof(_qel_configuration));
        case Command::kWriteClock:
            return TakeBlock(request, operands[0], sizeof(_qel_system_time));
        case Command::kReadMemory: {
            std::string error = TakeAddress(request, operands[0]);
            if (error.empty()) {
                error = TakeSize(request, operands[1]);
            }
            request.file = operands[2];
            return error;
        }
        case Command::kWriteMemory: {
            std::string error = TakeAddress(request, operands[0]);
            return error.empty() ? TakeWriteFile(request, operands[1]) : error;
        }
        case Command::kCrc: {
            std::string error = TakeAddress(request, operands[0]);
            if (error.empty()) {
                error = TakeSize(request, operands[1]);
            }
            if (error.empty() && operands.size() == 3) {
                error = TakeCrcFile(request, operands[2]);
            }
            return error;
        }
        case Command::kData:
            return TakeCode(request, operands[0]);
        default:
            return {};
    }
}

}  // namespace

RequestParse ParseRequest(const std::string& command, const std::vector<std::string>& operands) {
    RequestParse parse;
    if (command.empty()) {
        parse.error = "Service command was not set.";
        return parse;
    }
    const CommandSpec* spec = FindCommand(command);
    if (spec == nullptr) {
        parse.error = "Unknown service command [" + command + "].";
        return parse;
    }
    if (operands.size() < spec->minOperands || operands.size() > spec->maxOperands) {
        parse.error = "Usage: " + Synopsis(*spec);
        return parse;
    }
    parse.request.command = spec->command;
    parse.request.name = spec->name;
    parse.error = TakeOperands(parse.request, operands);
    return parse;
}

std::vector<std::string> CommandSynopses() {
    std::vector<std::string> synopses;
    for (const CommandSpec& spec : kCommands) {
        synopses.push_back(Synopsis(spec));
    }
    return synopses;
}

}  // namespace service
