#include "serial_channel.h"

#include "event_emitter.h"
#include "qel_codes.h"

namespace {

constexpr std::int32_t kBaudRate = 115200;
constexpr std::int32_t kDataBits = 8;
constexpr std::int32_t kBitsPerCharacter = 10;  // start, 8 data, stop

}  // namespace

SerialChannel::SerialChannel() = default;

SerialChannel::SerialChannel(const char* devicePath) {
    m_comms.SetDevicePath(devicePath);
}

// Moves copy as well: the moved-from channel keeps its port.
SerialChannel::SerialChannel(const SerialChannel& other)
    : ICommChannel(other),
      ILineTiming(other),
      m_comms(other.m_comms),
      m_eventSink(other.m_eventSink),
      m_readTimeoutMs(other.m_readTimeoutMs) {}

SerialChannel::SerialChannel(SerialChannel&& other) : SerialChannel(other) {}

SerialChannel& SerialChannel::operator=(const SerialChannel& other) {
    m_comms = other.m_comms;
    m_eventSink = other.m_eventSink;
    m_readTimeoutMs = other.m_readTimeoutMs;
    return *this;
}

SerialChannel& SerialChannel::operator=(SerialChannel&& other) {
    return *this = other;
}

SerialChannel::~SerialChannel() = default;

int SerialChannel::Open(void* params) {
    if (params == nullptr) {
        return m_comms.SetCommPort(nullptr);  // the serial library's own code for no settings
    }
    const auto* record = static_cast<const _serial_open_params*>(params);
    qel::EventEmitter(m_eventSink)
        .Emit({.phase = QEL_PHASE_OPEN}, "\nInitialize communication port (COM%d, %d)...",
              record->port, kBaudRate);
    comm_settings settings{};
    // Wide arithmetic: no record value can overflow on the way to the zero-based index.
    settings.port = static_cast<std::int32_t>(static_cast<std::int64_t>(record->port) - 1);
    settings.baud = kBaudRate;
    settings.dataBits = kDataBits;
    settings.parity = kCommsParityNone;
    settings.stopBits = kCommsStopBitsOne;
    int result = m_comms.SetCommPort(&settings);
    if (result != 0) {
        return result;
    }
    SetReadTimeout(record->timeout);
    return m_comms.IsInitialized() == 0 ? qel::kErrSerialNotReady : qel::kOk;
}

void SerialChannel::Close() {
    m_comms.Deinstall();
}

int SerialChannel::Write(char* data, int length) {
    return m_comms.Write(reinterpret_cast<const unsigned char*>(data),
                         static_cast<unsigned long>(length));
}

int SerialChannel::Read(char* buffer, int length) {
    return m_comms.Read(reinterpret_cast<unsigned char*>(buffer),
                        static_cast<unsigned long>(length));
}

void SerialChannel::SetEventSink(qel::EventSink* sink) {
    m_eventSink = sink;
}

int SerialChannel::ClearBuffers(CComms& comms) {
    if (comms.PurgeRcvBuffer() != 0) {
        return qel::kErrPurgeReceive;
    }
    if (comms.PurgeTransmitBuffer() != 0) {
        return qel::kErrPurgeTransmit;
    }
    return qel::kOk;
}

int SerialChannel::CharactersPerSecond() {
    return kBaudRate / kBitsPerCharacter;
}

int SerialChannel::ReadTimeout() {
    return m_readTimeoutMs;
}

void SerialChannel::SetReadTimeout(int milliseconds) {
    m_readTimeoutMs = milliseconds;
    m_comms.SetTimeOut(static_cast<unsigned long>(milliseconds));
}
