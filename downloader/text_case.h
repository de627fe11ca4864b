// Plain ASCII case handling for option letters and keyword values.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

std::string ToUpperAscii(std::string_view text);
bool EqualsIgnoringCase(std::string_view left, std::string_view right);

}  // namespace orvane
