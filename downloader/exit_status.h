// The program's exit statuses, as scripts that run it rely on them.
#pragma once

namespace orvane {

inline constexpr int kExitSuccess = 0;          // downloaded, or the usage text was asked for
inline constexpr int kExitFailedBeforeRun = 1;  // bad options, or nothing could be set up
inline constexpr int kExitDownloadFailed = 2;   // every attempt was used up or the image is wrong

}  // namespace orvane
