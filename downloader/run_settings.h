// What the command line asks for, validated, as the download driver works with it.
#pragma once

#include <string>

#include "channel_options.h"
#include "qel_download.h"

namespace orvane {

using qel::kRunModeAll;
using qel::kRunModeBlind;
using qel::kRunModeResetOnly;
using qel::kRunModeVerifyOnly;
using qel::kRunModeWriteOnly;
using qel::kVerifyMethodCrc16;
using qel::kVerifyMethodFull;

// The download's own settings (verify method, run mode, attempts, pause) and what the program
// needs to set it up.
struct RunSettings : qel::DownloadSettings {
    cli::ChannelSettings channel;
    std::string filePath;  // the HEX file, as typed; at most 511 characters
};

}  // namespace orvane
