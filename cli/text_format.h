// printf formatting into a string of the length the text needs.
#pragma once

#include <cstdarg>
#include <string>

namespace cli {

std::string FormatList(const char* format, va_list arguments);

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Format(const char* format, ...);

}  // namespace cli
