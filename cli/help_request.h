// How an operator asks a program for its usage text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

// "/?", "-h" or "--help", in any case.
bool IsHelpRequest(std::string_view argument);

// No arguments at all, or a help request among them.
bool WantsUsage(const std::vector<std::string>& arguments);

}  // namespace cli
