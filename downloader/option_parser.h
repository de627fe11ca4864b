// Orvane's options: the shared channel options and the program's own, as one table.
#pragma once

#include <string>
#include <vector>

#include "event_sink.h"
#include "option_table.h"

namespace orvane {

inline constexpr cli::OptionSpec kFileOption{"/f=", 511};
inline constexpr cli::OptionSpec kVerifyOption{"/v=", 7};
inline constexpr cli::OptionSpec kModeOption{"/m=", 7};
// Lists the serial ports and exits; needs no other option.
inline constexpr cli::OptionSpec kListPortsOption{"/l"};
// Sends a request again, in place, when the line lost or garbled its reply: 0 to 10 times.
inline constexpr cli::OptionSpec kRetriesOption{"/r=", 7};
// The most attempts, 1 to 100, and the pause between them in seconds, 0 to 60.
inline constexpr cli::OptionSpec kAttemptsOption{"/a=", 7};
inline constexpr cli::OptionSpec kPauseOption{"/t=", 7};
// Write only the pages the device does not hold already.
inline constexpr cli::OptionSpec kSkipEqualOption{"/s"};
// Page writes in flight over TCP, 1 to 16.
inline constexpr cli::OptionSpec kWindowOption{"/w=", 7};

// Options may come in any order and their letters in any case; values keep the case they were
// typed in. Arguments that name no option are reported to sink with a warning and skipped.
cli::ParsedOptions ParseOptions(const std::vector<std::string>& arguments,
                                qel::EventSink& sink = qel::DefaultEventSink());

}  // namespace orvane
