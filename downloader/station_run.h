// A station run: the file loaded and its image prepared once, then every device's download in a
// thread of its own, at most station.threads at once; the others wait their turn. A device that
// fails, hangs until its time-outs or needs many attempts holds up no other.
#pragma once

#include "download_services.h"
#include "event_sink.h"
#include "output_sinks.h"
#include "run_settings.h"
#include "station_settings.h"

namespace orvane {

// Returns the exit status: 1 when the log files or the file fail, else StationExitStatus. Under
// /json each device writes JSON Lines that name it, and a "summary" object ends the run; in text
// the devices' prefixed lines (under /q their errors and final lines), the summary, and on a
// terminal's standard error the progress block while the devices download.
int RunStation(const RunSettings& settings, const StationSettings& station,
               const DownloadServices& services, cli::OutputSinks& output);

}  // namespace orvane
