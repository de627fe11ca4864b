#include "option_validation.h"

#include <cstdint>
#include <cstdlib>

#include "orvane_print.h"
#include "platform.h"
#include "text_case.h"

namespace orvane {
namespace {

constexpr int kHighestTcpPort = 65535;
constexpr int kHighestSerialPort = 255;
constexpr std::uint32_t kAddressNone = 0xFFFFFFFFu;

void PrintSeeUsage() {
    Print("\nRun software without parameters to see usage information.");
}

bool ValidateTcp(const OptionValues& values, int port) {
    if (values.address.empty()) {
        Print("\nERROR: IP address was not set.");
        return false;
    }
    const std::uint32_t address = platform::ParseIPv4(values.address.c_str());
    // inet_addr stops at white space and accepts whatever follows, but the channel resolves the
    // whole text and would retry a host it can never find.
    const bool trailingText = values.address.find_first_of(" \t\n\v\f\r") != std::string::npos;
    if (address == kAddressNone || address == 0 || trailingText) {
        Print("\nERROR: IP address is incorrect.");
        return false;
    }
    if (port > kHighestTcpPort) {
        Print("\nERROR: Port value is incorrect. It must be in range [1..65535].");
        return false;
    }
    return true;
}

bool ValidateSerial(int port) {
    if (port > kHighestSerialPort) {
        Print("\nERROR: Port value is incorrect. It must be in range [1..255].");
        return false;
    }
    return true;
}

bool ValidateChannel(const OptionValues& values, int port, ChannelKind& kind) {
    if (EqualsIgnoringCase(values.channel, "tcp")) {
        kind = ChannelKind::kTcp;
        return ValidateTcp(values, port);
    }
    if (EqualsIgnoringCase(values.channel, "com")) {
        kind = ChannelKind::kSerial;
        return ValidateSerial(port);
    }
    Print("\nERROR: Communication channel is unknown.");
    PrintSeeUsage();
    return false;
}

}  // namespace

int ParsePortValue(const std::string& text) {
    // The text holds at most 7 characters, so the value always fits.
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

int SelectVerifyMethod(const std::string& text) {
    return EqualsIgnoringCase(text, "full") ? kVerifyFull : kVerifyCrc16;
}

int SelectRunMode(const std::string& text) {
    switch (text.empty() ? '\0' : text.front()) {
        case 'P':
        case 'p':
            return kRunModeWriteOnly;
        case 'V':
        case 'v':
            return kRunModeVerifyOnly;
        case 'R':
        case 'r':
            return kRunModeResetOnly;
        case 'B':
        case 'b':
            return kRunModeBlind;
        default:
            return kRunModeAll;
    }
}

bool ValidateOptions(const OptionValues& values, RunSettings& settings) {
    if (values.filePath.empty()) {
        Print("\nERROR: File path to HEX file is required.");
        PrintSeeUsage();
        return false;
    }
    if (values.port.empty()) {
        Print("\nERROR: Port value was not set.");
        return false;
    }
    const int port = ParsePortValue(values.port);
    if (port <= 0) {
        Print("\nERROR: Port value is incorrect. It must be greater then 0.");
        return false;
    }
    ChannelKind kind = ChannelKind::kSerial;
    if (!ValidateChannel(values, port, kind)) {
        return false;
    }
    settings.channelKind = kind;
    settings.port = port;
    settings.address = kind == ChannelKind::kTcp ? values.address : std::string();
    settings.filePath = values.filePath;
    settings.devicePath = values.device;
    settings.verifyMethod = SelectVerifyMethod(values.verify);
    settings.runMode = SelectRunMode(values.mode);
    if (settings.runMode == kRunModeBlind) {
        Print("\n*** Run BLIND MODE ***");
    }
    return true;
}

}  // namespace orvane
