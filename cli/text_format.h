// printf formatting into a string of the length the text needs, and texts padded into a column.
#pragma once

#include <cstdarg>
#include <string>
#include <vector>

namespace cli {

std::string FormatList(const char* format, va_list arguments);

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Format(const char* format, ...);

// Each text with blanks after it up to the widest one's width, and gap blanks more.
std::vector<std::string> PaddedToWidest(const std::vector<std::string>& texts, std::size_t gap);

}  // namespace cli
