// The one pause of the library and of its programs. Every wait (between attempts, before and
// between the blind mode's device checks, between socket send retries, in dummy) goes through
// qel::Sleep, so that a test, or a program that drives many devices from one loop, can put its
// own pause in place of the real one.
#pragma once

#include "qel_export.h"

namespace qel {

using SleepFunction = void (*)(unsigned long milliseconds);

// Pauses the calling thread through the installed function (the real pause by default).
QEL_API void Sleep(unsigned long milliseconds);

// Installs a replacement for every later pause, in all threads; null restores the real pause.
// Returns the function that was installed before.
QEL_API SleepFunction SetSleepFunction(SleepFunction replacement);

}  // namespace qel
