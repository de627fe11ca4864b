// Checks the option values in a fixed order and turns them into the run settings.
#pragma once

#include <optional>
#include <string>

#include "event_sink.h"
#include "option_table.h"
#include "run_settings.h"

namespace orvane {

// Reports the first problem found to sink and returns false; otherwise fills settings and
// returns true.
bool ValidateOptions(const cli::ParsedOptions& options, RunSettings& settings,
                     qel::EventSink& sink = qel::DefaultEventSink());

// The parts of the validation that a station run shares: "ERROR: " and the refusal's message,
// the file path's check, and the download's own options (attempt options checked, then the file,
// verify method and run mode taken into settings, with the blind mode's line). SelectDownload takes
// every setting of a download that is not the channel (/r, /a, /t, /s, /w): settings.channel must
// be set first, for /w's check.
void PrintRefusal(const cli::OptionRefusal& refusal, qel::EventSink& sink);
bool ValidateFilePath(const cli::ParsedOptions& options, qel::EventSink& sink);
bool SelectDownload(const cli::ParsedOptions& options, RunSettings& settings, qel::EventSink& sink);

// 2 for "full" in any case, else 1.
int SelectVerifyMethod(const std::string& text);
// From the first character only: p, v, r, b (any case) select 2 to 5, anything else 1.
int SelectRunMode(const std::string& text);
// A whole decimal number from lowest to highest, or nothing.
std::optional<int> NumberInRange(const std::string& text, int lowest, int highest);

}  // namespace orvane
