// What the command line asks for, validated, as the download driver works with it.
#pragma once

#include <string>

#include "channel_options.h"
#include "qel_protocol_settings.h"

namespace orvane {

using qel::kRunModeAll;
using qel::kRunModeBlind;
using qel::kRunModeResetOnly;
using qel::kRunModeVerifyOnly;
using qel::kRunModeWriteOnly;
using qel::kVerifyMethodCrc16;
using qel::kVerifyMethodFull;

struct RunSettings {
    cli::ChannelSettings channel;
    std::string filePath;  // the HEX file, as typed; at most 511 characters
    int verifyMethod = kVerifyMethodCrc16;
    int runMode = kRunModeAll;
};

}  // namespace orvane
