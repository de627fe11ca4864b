// Serves the device over TCP: one connection after another, the device's memory kept across them.
#pragma once

#include <cstdint>

#include "device_link.h"

namespace qelsim {

// Binds, prints "listening ADDR:PORT" as the first line of standard output, and serves until a
// stop is requested. Returns the process exit status.
int ServeTcp(SimulatedDevice& simulated, const IPv4Address& address, std::uint16_t port);

}  // namespace qelsim
