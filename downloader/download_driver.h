// Orvane's download: the channel that the command line asks for, handed with the file and the
// settings to the library's download.
#pragma once

#include "download_services.h"
#include "event_sink.h"
#include "run_settings.h"

namespace orvane {

// Every line goes to sink as an event; returns the program's exit status.
int RunDownload(const RunSettings& settings, const DownloadServices& services,
                qel::EventSink& sink = qel::DefaultEventSink());

}  // namespace orvane
