// A station run: the file loaded and its image prepared once, then every device's download in a
// thread of its own, at most station.threads at once; the others wait their turn. A device that
// fails, hangs until its time-outs or needs many attempts holds up no other.
#pragma once

#include "download_services.h"
#include "event_sink.h"
#include "json_lines_sink.h"
#include "run_settings.h"
#include "station_settings.h"

namespace orvane {

// Returns the exit status: 1 when the log files or the file fail, else StationExitStatus. With
// json (the run's JSON Lines sink under /json) each device writes JSON Lines that name it, and a
// "summary" object ends the run.
int RunStation(const RunSettings& settings, const StationSettings& station,
               const DownloadServices& services, qel::EventSink& sink,
               cli::JsonLinesSink* json = nullptr);

}  // namespace orvane
