// The service commands, each over an open channel through the library's QelProtocol.
#pragma once

#include "qel_protocol.h"
#include "service_report.h"
#include "service_request.h"

namespace service {

Outcome RunCommand(QelProtocol& protocol, const ServiceRequest& request, Report& report);

// Single exchanges: configuration, clock, raw data, a data reply and the reset.
Outcome RunBlockCommand(QelProtocol& protocol, const ServiceRequest& request, Report& report);
// Memory ranges in 256-byte blocks, and the device's CRC16 of a range.
Outcome RunMemoryCommand(QelProtocol& protocol, const ServiceRequest& request, Report& report);

}  // namespace service
