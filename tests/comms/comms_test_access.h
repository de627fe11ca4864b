// Reaches CComms' private members from tests.
#pragma once

#include <string>

#include "comms.h"

class CCommsTestAccess {
  public:
    static std::string DevicePathFor(const CComms& comms, std::int32_t portIndex) {
        return comms.DevicePathFor(portIndex);
    }
    static const comm_settings& Settings(const CComms& comms) { return comms.m_settings; }
    static unsigned long TimeOut(const CComms& comms) { return comms.m_timeoutMilliseconds; }
    static std::intptr_t Handle(const CComms& comms) { return comms.m_handle; }
    // The next SetCommPort opens the port without error, but the port does not come up.
    static void SimulateNotReady(CComms& comms, bool notReady) {
        comms.m_simulateNotReady = notReady;
    }
};
