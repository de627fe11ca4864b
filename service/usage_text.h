// What qel-service prints for no arguments, /?, -h or --help.
#pragma once

#include <string>

namespace service {

std::string UsageText();

}  // namespace service
