// Serves the device on a new pseudo-terminal, as on a serial port.
#pragma once

#include "device_link.h"

namespace qelsim {

// Prints "pty PATH" (the slave side) as the first line of standard output and serves until a
// stop is requested; the other side may close and reopen the path as often as it likes.
// Returns the process exit status.
int ServePty(SimulatedDevice& simulated);

}  // namespace qelsim
