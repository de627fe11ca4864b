// A station run: several devices, each on a channel of its own, that get the same file with the
// same settings.
#pragma once

#include <string>
#include <vector>

#include "channel_options.h"

namespace orvane {

inline constexpr int kDefaultStationThreads = 16;
inline constexpr int kMostStationThreads = 64;

struct StationDevice {
    std::string name;  // "address:port" or the device path: the prefix of its lines
    cli::ChannelSettings channel;
};

struct StationSettings {
    std::vector<StationDevice> devices;
    int threads = kDefaultStationThreads;  // devices downloading at once, 1..64
    std::string logFolder;                 // empty: no log files
};

}  // namespace orvane
