#include "channel_options.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "platform.h"
#include "text_case.h"

namespace cli {
namespace {

constexpr int kHighestTcpPort = 65535;
constexpr int kHighestSerialPort = 255;
constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;

std::optional<OptionRefusal> Refuse(const char* message, bool pointsToUsage = false) {
    return OptionRefusal{message, pointsToUsage};
}

std::optional<OptionRefusal> CheckTcp(const std::string& address, int port) {
    if (address.empty()) {
        return Refuse("IP address was not set.");
    }
    const std::uint32_t parsed = platform::ParseIPv4(address.c_str());
    // inet_addr stops at white space and accepts whatever follows, but the channel resolves the
    // whole text and would retry a host it can never find.
    const bool trailingText = address.find_first_of(" \t\n\v\f\r") != std::string::npos;
    if (parsed == kAddressNone || parsed == 0 || trailingText) {
        return Refuse("IP address is incorrect.");
    }
    if (port > kHighestTcpPort) {
        return Refuse("Port value is incorrect. It must be in range [1..65535].");
    }
    return std::nullopt;
}

std::optional<OptionRefusal> CheckSerial(int port) {
    if (port > kHighestSerialPort) {
        return Refuse("Port value is incorrect. It must be in range [1..255].");
    }
    return std::nullopt;
}

std::optional<OptionRefusal> CheckKindAndRange(const ParsedOptions& options,
                                               ChannelSettings& settings) {
    const std::string& channel = options.Value(kChannelOption.name);
    if (EqualsIgnoringCase(channel, "tcp")) {
        settings.kind = ChannelKind::kTcp;
        settings.address = options.Value(kAddressOption.name);
        return CheckTcp(settings.address, settings.port);
    }
    if (EqualsIgnoringCase(channel, "com")) {
        settings.kind = ChannelKind::kSerial;
        settings.device = options.Value(kDeviceOption.name);
        return CheckSerial(settings.port);
    }
    return Refuse("Communication channel is unknown.", true);
}

}  // namespace

int ParsePortValue(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

ChannelValidation ValidateChannel(const ParsedOptions& options) {
    ChannelValidation validation;
    const std::string& port = options.Value(kPortOption.name);
    if (port.empty()) {
        validation.refusal = Refuse("Port value was not set.");
        return validation;
    }
    validation.settings.port = ParsePortValue(port);
    if (validation.settings.port <= 0) {
        validation.refusal = Refuse("Port value is incorrect. It must be greater then 0.");
        return validation;
    }
    validation.refusal = CheckKindAndRange(options, validation.settings);
    return validation;
}

}  // namespace cli
