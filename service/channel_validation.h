// Checks the channel options the way Orvane does and turns them into what opens the channel.
#pragma once

#include <string>

#include "service_options.h"

namespace service {

enum class ChannelKind { kSerial, kTcp };

struct ChannelSettings {
    ChannelKind kind = ChannelKind::kTcp;
    int port = 0;
    std::string address;  // TCP
    std::string device;   // serial: a device path that replaces the port's default one
};

// The settings, or the reason they are refused (without "ERROR: " or a line break).
struct ChannelValidation {
    ChannelSettings settings;
    std::string error;
};

ChannelValidation ValidateChannel(const ServiceOptions& options);

}  // namespace service
