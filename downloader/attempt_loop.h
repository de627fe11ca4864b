// The attempts at a download: open the channel, run the upgrade, close and retry on failure.
#pragma once

#include "comm_channel.h"
#include "qel_protocol.h"
#include "run_settings.h"

namespace orvane {

inline constexpr int kMaxAttempts = 100;
inline constexpr int kMaxBlindAttempts = 0x7FFFFFFF;  // blind mode: until the device confirms
inline constexpr unsigned long kPauseAfterFailureMs = 5000;

int MaxAttempts(int runMode);

// Runs attempts until one succeeds, the image is found wrong, or the attempts are used up; then
// prints the outcome and closes the channel. Returns the program's exit status.
int RunAttempts(const RunSettings& settings, ICommChannel& channel, QelProtocol& protocol,
                void* openParams);

}  // namespace orvane
