// Plain ASCII case handling for option names and keyword values, which match in any case.
#pragma once

#include <string>
#include <string_view>

namespace cli {

std::string ToUpperAscii(std::string_view text);
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoringCase(std::string_view left, std::string_view right);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace cli
