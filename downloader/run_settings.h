// What the command line asks for, validated, as the download driver works with it.
#pragma once

#include <string>

namespace orvane {

enum class ChannelKind { kSerial, kTcp };

inline constexpr int kVerifyCrc16 = 1;
inline constexpr int kVerifyFull = 2;

inline constexpr int kRunModeAll = 1;
inline constexpr int kRunModeWriteOnly = 2;
inline constexpr int kRunModeVerifyOnly = 3;
inline constexpr int kRunModeResetOnly = 4;
inline constexpr int kRunModeBlind = 5;

struct RunSettings {
    ChannelKind channelKind = ChannelKind::kSerial;
    int port = 0;            // TCP port, or the serial port as counted by COM N
    std::string address;     // dotted IPv4 text, TCP only; at most 23 characters
    std::string filePath;    // the HEX file, as typed; at most 511 characters
    std::string devicePath;  // serial device instead of COM N; empty when not given
    int verifyMethod = kVerifyCrc16;
    int runMode = kRunModeAll;
};

}  // namespace orvane
