// The program's one print helper: printf conventions, standard output, flushed after every
// message, so that the operator sees "Connecting ..." while the program waits for the device.
#pragma once

namespace orvane {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void Print(const char* format, ...);

}  // namespace orvane
