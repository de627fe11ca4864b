// The serial ports as Orvane lists them for /l: one line a port under a heading row.
#pragma once

#include <vector>

#include "event_sink.h"
#include "json_lines_sink.h"
#include "serial_ports.h"

namespace orvane {

// A column for each detail that at least one port has, aligned; a line that says so when there
// are no ports.
void PrintPortList(const std::vector<SerialPortInfo>& ports, qel::EventSink& sink);

// One "port" object a port with every field of the port record, empty where the system does
// not say.
void WritePortList(const std::vector<SerialPortInfo>& ports, cli::JsonLinesSink& json);

}  // namespace orvane
