// The serial ports as Orvane lists them for /l: one line a port under a heading row.
#pragma once

#include <vector>

#include "serial_ports.h"

namespace orvane {

// A column for each detail that at least one port has, aligned; a line that says so when there
// are no ports.
void PrintPortList(const std::vector<SerialPortInfo>& ports);

}  // namespace orvane
