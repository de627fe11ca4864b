#include "help_request.h"

#include <algorithm>

#include "text_case.h"

namespace cli {

bool IsHelpRequest(std::string_view argument) {
    return argument == "/?" || EqualsIgnoringCase(argument, "-h") ||
           EqualsIgnoringCase(argument, "--help");
}

bool WantsUsage(const std::vector<std::string>& arguments) {
    return arguments.empty() ||
           std::any_of(arguments.begin(), arguments.end(),
                       [](const std::string& argument) { return IsHelpRequest(argument); });
}

}  // namespace cli
