#include "channel_validation.h"

#include <cctype>
#include <cstdlib>

#include "platform.h"

namespace service {
namespace {

constexpr int kMaxTcpPort = 65535;
constexpr int kMaxSerialPort = 255;
constexpr std::size_t kMaxAddressCharacters = 23;

bool SameLetters(const std::string& text, const char* word) {
    std::size_t i = 0;
    for (; i < text.size() && word[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) {
            return false;
        }
    }
    return i == text.size() && word[i] == '\0';
}

// The leading decimal digits with an optional sign, 0 when there are none, as Orvane reads it.
long PortValue(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

std::string TcpError(const ServiceOptions& options, long port) {
    if (options.address.empty()) {
        return "IP address was not set.";
    }
    const std::uint32_t address = platform::ParseIPv4(options.address.c_str());
    if (options.address.size() > kMaxAddressCharacters || address == 0xFFFFFFFFu || address == 0) {
        return "IP address is incorrect.";
    }
    if (port > kMaxTcpPort) {
        return "Port value is incorrect. It must be in range [1..65535].";
    }
    return {};
}

}  // namespace

ChannelValidation ValidateChannel(const ServiceOptions& options) {
    ChannelValidation validation;
    if (options.port.empty()) {
        validation.error = "Port value was not set.";
        return validation;
    }
    const long port = PortValue(options.port);
    if (port <= 0) {
        validation.error = "Port value is incorrect. It must be greater then 0.";
        return validation;
    }
    ChannelSettings& settings = validation.settings;
    if (SameLetters(options.channel, "tcp")) {
        settings.kind = ChannelKind::kTcp;
        validation.error = TcpError(options, port);
    } else if (SameLetters(options.channel, "com")) {
        settings.kind = ChannelKind::kSerial;
        if (port > kMaxSerialPort) {
            validation.error = "Port value is incorrect. It must be in range [1..255].";
        }
    } else {
        validation.error = "Communication channel is unknown.";
    }
    settings.port = static_cast<int>(port > kMaxTcpPort ? 0 : port);
    settings.address = options.address;
    settings.device = options.device;
    return validation;
}

}  // namespace service
