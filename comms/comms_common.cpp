// The part of CComms that does not depend on the platform: the object's life, its copies, and the
// order in which a port is set up.
#include "comms.h"
#include "comms_port.h"

using comms_port::kNoHandle;

CComms::CComms()
    : m_handle(kNoHandle),
      m_settings{},
      m_timeoutMilliseconds(comms_port::kDefaultTimeoutMilliseconds),
      m_ready(false),
      m_simulateNotReady(false) {}

CComms::~CComms() {
    Deinstall();
}

CComms::CComms(const CComms& other) : CComms() {
    *this = other;
}

CComms& CComms::operator=(const CComms& other) {
    if (this == &other) {
        return *this;
    }
    Deinstall();
    m_settings = other.m_settings;
    m_timeoutMilliseconds = other.m_timeoutMilliseconds;
    m_simulateNotReady = other.m_simulateNotReady;
    m_devicePath = other.m_devicePath;
    if (other.m_handle != kNoHandle) {
        m_handle = comms_port::DuplicatePort(other.m_handle);
    }
    m_ready = m_handle != kNoHandle && other.m_ready;
    return *this;
}

void CComms::SetDevicePath(const char* path) {
    m_devicePath = path != nullptr ? path : "";
}

int CComms::SetCommPort(const comm_settings* settings) {
    Deinstall();
    if (settings == nullptr || !comms_port::SettingsSupported(*settings, m_devicePath.empty())) {
        return kCommsErrBadSettings;
    }
    m_settings = *settings;
    int result = OpenDevice(DevicePathFor(settings->port));
    if (result == kCommsOk) {
        result = ApplyLineSettings(*settings);
    }
    if (result != kCommsOk) {
        Deinstall();
        return result;
    }
    m_ready = !m_simulateNotReady && LineRunsSettings(*settings);
    return kCommsOk;
}

void CComms::SetTimeOut(unsigned long milliseconds) {
    m_timeoutMilliseconds = milliseconds;
}

int CComms::IsInitialized() const {
    return m_handle != kNoHandle && m_ready ? 1 : 0;
}
