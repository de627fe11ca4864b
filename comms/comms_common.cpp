// The part of CComms that does not depend on the platform: the object's life, its copies, the
// order in which a port is set up, and the read and write loops against one deadline per call.
#include <chrono>
#include <climits>

#include "comms.h"
#include "comms_port.h"

using comms_port::kNoHandle;

namespace {

// No buffer can hold more; larger counts come from a negative length turned unsigned.
constexpr unsigned long kLargestCount = static_cast<unsigned long>(LONG_MAX);

long long TimeoutAsMilliseconds(unsigned long milliseconds) {
    return milliseconds > static_cast<unsigned long>(INT_MAX)
               ? INT_MAX
               : static_cast<long long>(milliseconds);
}

// Time the bytes need on the wire at the given rate: start, data, parity and stop bits each.
long long WireMilliseconds(unsigned long count, const comm_settings& settings) {
    long long bitsPerCharacter = 1 + settings.dataBits + (settings.parity != 0 ? 1 : 0) +
                                 (settings.stopBits == kCommsStopBitsTwo ? 2 : 1);
    long long baud = settings.baud > 0 ? settings.baud : 1;
    return (static_cast<long long>(count) * bitsPerCharacter * 1000 + baud - 1) / baud;
}

// Why a transfer cannot start, or kCommsOk.
int TransferRefusal(std::intptr_t handle, const void* bytes, unsigned long count) {
    if (handle == kNoHandle) {
        return kCommsErrNotOpen;
    }
    if ((bytes == nullptr && count > 0) || count > kLargestCount) {
        return kCommsErrBadBuffer;
    }
    return kCommsOk;
}

}  // namespace

namespace comms_port {

long long NowMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long long DeadlineAfter(long long milliseconds) {
    constexpr long long kLongestWait = 1000LL * 60 * 60 * 24 * 365;
    return NowMilliseconds() +
           (milliseconds < 0 || milliseconds > kLongestWait ? kLongestWait : milliseconds);
}

long long RemainingMilliseconds(long long deadline) {
    const long long remaining = deadline - NowMilliseconds();
    return remaining > 0 ? remaining : 0;
}

}  // namespace comms_port

CComms::CComms()
    : m_handle(kNoHandle),
      m_ownsLine(false),
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

// The copy gets a handle of its own but not the line: the original still holds that.
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

int CComms::Read(unsigned char* buffer, unsigned long count) {
    int result = TransferRefusal(m_handle, buffer, count);
    const long long deadline =
        comms_port::DeadlineAfter(TimeoutAsMilliseconds(m_timeoutMilliseconds));
    // Asking for no more than is missing leaves later bytes in the port.
    for (unsigned long received = 0; result == kCommsOk && received < count;) {
        unsigned long got = 0;
        result =
            comms_port::ReadSome(m_handle, buffer + received, count - received, deadline, &got);
        received += got;
    }
    return result;
}

int CComms::Write(const unsigned char* data, unsigned long count) {
    int result = TransferRefusal(m_handle, data, count);
    const long long deadline = comms_port::DeadlineAfter(
        TimeoutAsMilliseconds(m_timeoutMilliseconds) + WireMilliseconds(count, m_settings));
    for (unsigned long sent = 0; result == kCommsOk && sent < count;) {
        unsigned long written = 0;
        result = comms_port::WriteSome(m_handle, data + sent, count - sent, deadline, &written);
        sent += written;
    }
    return result;
}

int CComms::Deinstall() {
    if (m_handle != kNoHandle) {
        comms_port::ClosePort(m_handle, m_ownsLine);
        m_handle = kNoHandle;
    }
    m_ownsLine = false;
    m_ready = false;
    return kCommsOk;
}

int CComms::PurgeRcvBuffer() {
    if (m_handle == kNoHandle) {
        return kCommsErrNotOpen;
    }
    return comms_port::Purge(m_handle, comms_port::Direction::kReceive) ? kCommsOk : kCommsErrPurge;
}

int CComms::PurgeTransmitBuffer() {
    if (m_handle == kNoHandle) {
        return kCommsErrNotOpen;
    }
    return comms_port::Purge(m_handle, comms_port::Direction::kTransmit) ? kCommsOk
                                                                         : kCommsErrPurge;
}
