// The library's one print helper: printf conventions, standard output, flushed after every
// message so that an operator sees each line while the next step waits.
#pragma once

namespace qel {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Print(const char* format, ...);

// Writes text as it is (not as a format) and flushes.
void PrintText(const char* text);

}  // namespace qel
