// What the command line asks for, validated, as the download driver works with it.
#pragma once

#include <string>

#include "channel_options.h"

namespace orvane {

inline constexpr int kVerifyCrc16 = 1;
inline constexpr int kVerifyFull = 2;

inline constexpr int kRunModeAll = 1;
inline constexpr int kRunModeWriteOnly = 2;
inline constexpr int kRunModeVerifyOnly = 3;
inline constexpr int kRunModeResetOnly = 4;
inline constexpr int kRunModeBlind = 5;

struct RunSettings {
    cli::ChannelSettings channel;
    std::string filePath;  // the HEX file, as typed; at most 511 characters
    int verifyMethod = kVerifyCrc16;
    int runMode = kRunModeAll;
};

}  // namespace orvane
