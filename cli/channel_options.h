// The channel options that Orvane and qel-service share, and their validation: the same checks
// in the same order with the same messages in both programs.
#pragma once

#include <optional>
#include <string>

#include "option_table.h"

namespace cli {

// Rows for a program's option table, with the capacities of Orvane's option buffers.
inline constexpr OptionSpec kChannelOption{"/c=", 7};   // "tcp" or "com"
inline constexpr OptionSpec kAddressOption{"/i=", 23};  // dotted IPv4, TCP only
inline constexpr OptionSpec kPortOption{"/p=", 7};      // TCP port, or the serial port's N of COM N
inline constexpr OptionSpec kDeviceOption{"/d=", 511};  // serial device path instead of COM N

enum class ChannelKind { kSerial, kTcp };

struct ChannelSettings {
    ChannelKind kind = ChannelKind::kSerial;
    int port = 0;         // TCP port 1..65535, or serial port 1..255
    std::string address;  // TCP only: dotted IPv4 text of at most 23 characters
    std::string device;   // serial only: a device path instead of COM N; empty when not given
};

// Why a command line is refused: the message without "ERROR: " or a line break, and whether the
// usage text would show the operator what was meant (Orvane then points to it).
struct OptionRefusal {
    std::string message;
    bool pointsToUsage = false;
};

struct ChannelValidation {
    ChannelSettings settings;
    std::optional<OptionRefusal> refusal;
};

// The port value: the leading decimal digits with an optional sign, 0 when there are none.
int ParsePortValue(const std::string& text);

// Checks, in this order: port given, port above 0, channel name, then for TCP the address and
// the port range, for serial the port range. The settings are meaningful only without a refusal.
ChannelValidation ValidateChannel(const ParsedOptions& options);

}  // namespace cli
