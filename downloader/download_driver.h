// The download: channel, HEX file, application image, then the attempts.
#pragma once

#include "download_services.h"
#include "run_settings.h"

namespace orvane {

// Lowest device address a remotely downloaded image may start at; below it lies the loader.
inline constexpr int kLowestDownloadAddress = 0x3000;

// Returns the program's exit status.
int RunDownload(const RunSettings& settings, const DownloadServices& services);

}  // namespace orvane
