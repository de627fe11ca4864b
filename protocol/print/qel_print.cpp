#include "qel_print.h"

#include <cstdarg>
#include <cstdio>

namespace qel {

void Print(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

void PrintText(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

}  // namespace qel
