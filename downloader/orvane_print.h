// The program's one print helper: printf conventions, each message an event of the given kind to
// the run's sink. The default sink prints it to standard output at once, so that the operator
// sees "Connecting ..." while the program waits for the device.
#pragma once

#include "event_sink.h"

namespace orvane {

#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
void Print(qel::EventSink& sink, int kind, const char* format, ...);

}  // namespace orvane
