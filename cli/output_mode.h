// How a program reports: the operator's text (the default), quiet text, or JSON Lines; chosen
// from the command line before anything is printed, so that even the first line fits the mode.
#pragma once

#include <string>
#include <vector>

#include "option_table.h"

namespace cli {

inline constexpr OptionSpec kJsonOption{"/json", 0};
inline constexpr OptionSpec kQuietOption{"/q", 0};

enum class OutputMode { kText, kQuiet, kJson };

// /json wins over /q.
OutputMode OutputModeOf(const std::vector<std::string>& arguments);

}  // namespace cli
