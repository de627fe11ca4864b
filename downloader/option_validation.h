// Checks the option values in a fixed order and turns them into the run settings.
#pragma once

#include "option_parser.h"
#include "run_settings.h"

namespace orvane {

// Prints the first problem found and returns false; otherwise fills settings and returns true.
bool ValidateOptions(const OptionValues& values, RunSettings& settings);

// Decimal value of the leading digits (optional sign); 0 when there are none.
int ParsePortValue(const std::string& text);
// 2 for "full" in any case, else 1.
int SelectVerifyMethod(const std::string& text);
// From the first character only: p, v, r, b (any case) select 2 to 5, anything else 1.
int SelectRunMode(const std::string& text);

}  // namespace orvane
