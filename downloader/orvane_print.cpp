#include "orvane_print.h"

#include <cstdarg>
#include <cstdio>

namespace orvane {

void Print(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

}  // namespace orvane
