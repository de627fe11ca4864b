// The command line of a station run: /i= (TCP) or /d= (serial) given once per device, /j= and
// /log=. Any of these turns a run into a station run; one device without them runs as always.
#pragma once

#include "event_sink.h"
#include "option_table.h"
#include "run_settings.h"
#include "station_settings.h"

namespace orvane {

inline constexpr cli::OptionSpec kThreadsOption{"/j=", 7};
inline constexpr cli::OptionSpec kLogOption{"/log=", 511};

bool IsStationRun(const cli::ParsedOptions& options);

// Checks, in this order: the file path, the channel name, devices all of one kind, each device's
// channel options (the port of "/i=ADDR" falls back to /p=), no device twice, /j= and /log=.
// Reports the first problem found to sink and returns false; otherwise fills both settings.
// Every other setting of a download (/r, /a, /t, /s, /w, /v, /m) is taken as for one device and
// passes on to every device.
bool ValidateStation(const cli::ParsedOptions& options, RunSettings& settings,
                     StationSettings& station, qel::EventSink& sink = qel::DefaultEventSink());

}  // namespace orvane
