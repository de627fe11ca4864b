// The simulated device on arbitrary request lines: it must never crash, and every reply it gives
// is upper-case hex of whole bytes followed by one CR.
//
// Input: a flag byte, a fault byte, then request lines separated by '\n'. With bit 0 of the flag
// byte set, each line that is hex is sealed with a correct CRC16 first, so that the commands
// behind the frame check see arbitrary payloads too.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device_frame.h"
#include "device_model.h"
#include "hex_text.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

bool IsUpperHex(char character) {
    return (character >= '0' && character <= '9') || (character >= 'A' && character <= 'F');
}

void RequireWireText(const std::string& reply) {
    Require(reply.size() >= 2 * qelsim::kSmallestFrame + 1);
    Require(reply.size() % 2 == 1 && reply.back() == '\r');
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
        Require(IsUpperHex(reply[i]));
    }
}

// The line with its last two bytes replaced by the CRC16 of the others, when it is whole hex
// bytes and long enough to be a frame; otherwise the line as it is.
std::string Sealed(std::string_view line) {
    std::optional<std::vector<std::uint8_t>> frame = qelsim::FromHexText(line);
    if (!frame || frame->size() < qelsim::kSmallestFrame) {
        return std::string(line);
    }
    qelsim::SealFrame(*frame);
    std::string text = qelsim::ToWireText(*frame);
    text.pop_back();
    return text;
}

qelsim::DeviceOptions FaultsFrom(std::uint8_t faults) {
    qelsim::DeviceOptions options;
    options.memorySize = 0x1000;
    options.clock = [] { return qelsim::WallTime(std::chrono::hours(24 * 365 * 50)); };
    options.lieAboutCrc16 = (faults & 0x01) != 0;
    if ((faults & 0x02) != 0) {
        options.failWriteAddress = 0x100;
    }
    if ((faults & 0x04) != 0) {
        options.dropReplies = {2};
        options.corruptReplies = {3};
        options.wrongIdReplies = {4};
        options.failStatusRequests = {5};
    }
    options.silentRequestsAfterReset = (faults >> 3) & 0x03;
    return options;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const bool seal = (bytes[0] & 0x01) != 0;
    qelsim::DeviceModel device(FaultsFrom(bytes[1]));
    std::string_view rest(reinterpret_cast<const char*>(bytes + 2), size - 2);
    while (true) {
        const std::size_t newline = rest.find('\n');
        const std::string_view line = rest.substr(0, newline);
        const std::optional<std::string> reply =
            device.HandleRequest(seal ? Sealed(line) : std::string(line));
        if (reply) {
            RequireWireText(*reply);
        }
        if (newline == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(newline + 1);
    }
    Require(device.Memory().size() == 0x1000);
    return 0;
}
