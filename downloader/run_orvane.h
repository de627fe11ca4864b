// The whole program: banner, command line, then the download or the list of serial ports.
#pragma once

#include "download_services.h"

namespace orvane {

// Returns the exit status (qel_exit_status of qel_event.h).
int RunOrvane(int argc, const char* const* argv, const DownloadServices& services);

}  // namespace orvane

// The program as main runs it, with the real channels.
int RunOrvane(int argc, char** argv);
