// QelProtocol's life (construction, copies, destruction) and its shared frame operations, which
// forward to the codec.
#include <algorithm>

#include "application_layout.h"
#include "event_emitter.h"
#include "frame_codec.h"
#include "qel_protocol.h"

namespace {

using qel::layout::kImageBase;

unsigned char* CopyImage(const unsigned char* source, std::int32_t size) {
    if (source == nullptr || size <= 0) {
        return nullptr;
    }
    auto* copy = new unsigned char[static_cast<std::size_t>(size)];
    std::copy(source, source + size, copy);
    return copy;
}

}  // namespace

QelProtocol::QelProtocol(ICommChannel* channel, int verifyMethod, int runMode, HWND hwnd)
    : m_dataBuffer(nullptr),
      m_channel(channel),
      m_verifyMethod(verifyMethod),
      m_runMode(runMode),
      m_pageAddress(kImageBase),
      m_upgradeState(0),
      m_dataSize(0),
      m_msgId(1),
      m_hwnd(hwnd),
      m_eventSink(nullptr),
      m_cancel(nullptr),
      m_lineBytes(0),
      m_measuresOriginMs(qel::SteadyMilliseconds()),
      m_phase(QEL_PHASE_NONE),
      m_pagesWritten(0),
      m_openRecord(nullptr),
      m_lineTiming(nullptr),
      m_exchangeRetries(0),
      m_lineOutOfStep(false),
      m_answerAllowanceMs(),
      m_imageVerified(false),
      m_skipEqualPages(false),
      m_pagesInFlight(1),
      m_pagesSkipped(0) {}

QelProtocol::~QelProtocol() {
    delete[] m_dataBuffer;
    m_dataBuffer = nullptr;
}

QelProtocol::QelProtocol(const QelProtocol& other)
    : m_dataBuffer(CopyImage(other.m_dataBuffer, other.m_dataSize)),
      m_channel(other.m_channel),
      m_verifyMethod(other.m_verifyMethod),
      m_runMode(other.m_runMode),
      m_pageAddress(other.m_pageAddress),
      m_upgradeState(other.m_upgradeState),
      m_dataSize(other.m_dataBuffer != nullptr ? other.m_dataSize : 0),
      m_msgId(other.m_msgId),
      m_hwnd(other.m_hwnd),
      m_eventSink(other.m_eventSink),
      m_cancel(other.m_cancel),
      m_lineBytes(other.m_lineBytes),
      m_measuresOriginMs(other.m_measuresOriginMs),
      m_phase(other.m_phase),
      m_pagesWritten(other.m_pagesWritten),
      m_openRecord(other.m_openRecord),
      m_lineTiming(other.m_lineTiming),
      m_exchangeRetries(other.m_exchangeRetries),
      m_lineOutOfStep(other.m_lineOutOfStep),
      m_answerAllowanceMs(other.m_answerAllowanceMs),
      m_imageVerified(other.m_imageVerified),
      m_skipEqualPages(other.m_skipEqualPages),
      m_pagesInFlight(other.m_pagesInFlight),
      m_pagesToWrite(other.m_pagesToWrite),
      m_pagesSkipped(other.m_pagesSkipped) {}

QelProtocol& QelProtocol::operator=(const QelProtocol& other) {
    if (this == &other) {
        return *this;
    }
    unsigned char* image = CopyImage(other.m_dataBuffer, other.m_dataSize);
    delete[] m_dataBuffer;
    m_dataBuffer = image;
    m_channel = other.m_channel;
    m_verifyMethod = other.m_verifyMethod;
    m_runMode = other.m_runMode;
    m_pageAddress = other.m_pageAddress;
    m_upgradeState = other.m_upgradeState;
    m_dataSize = image != nullptr ? other.m_dataSize : 0;
    m_msgId = other.m_msgId;
    m_hwnd = other.m_hwnd;
    m_eventSink = other.m_eventSink;
    m_cancel = other.m_cancel;
    m_lineBytes = other.m_lineBytes;
    m_measuresOriginMs = other.m_measuresOriginMs;
    m_phase = other.m_phase;
    m_pagesWritten = other.m_pagesWritten;
    m_openRecord = other.m_openRecord;
    m_lineTiming = other.m_lineTiming;
    m_exchangeRetries = other.m_exchangeRetries;
    m_lineOutOfStep = other.m_lineOutOfStep;
    m_answerAllowanceMs = other.m_answerAllowanceMs;
    m_imageVerified = other.m_imageVerified;
    m_skipEqualPages = other.m_skipEqualPages;
    m_pagesInFlight = other.m_pagesInFlight;
    m_pagesToWrite = other.m_pagesToWrite;
    m_pagesSkipped = other.m_pagesSkipped;
    return *this;
}

void QelProtocol::SetEventSink(qel::EventSink* sink) {
    m_eventSink = sink;
}

qel::EventEmitter QelProtocol::Events() const {
    return qel::EventEmitter(m_eventSink, m_measuresOriginMs, &m_lineBytes);
}

int QelProtocol::CheckReply(unsigned char* data, char code, int length) {
    return qel::codec::CheckReply(data, code, length, m_msgId);
}

int QelProtocol::ConvertToBinary(unsigned char* output, const char* text) {
    return qel::codec::ConvertToBinary(output, text);
}

void QelProtocol::ConvertToHexString(char* output, const unsigned char* bytes, int length) {
    qel::codec::ConvertToHexString(output, bytes, length);
}

std::uint16_t QelProtocol::Crc16(const unsigned char* bytes, int length) {
    return qel::codec::Crc16(bytes, length);
}

std::uint8_t QelProtocol::Crc8(const unsigned char* bytes, int length, std::uint8_t seed) {
    return qel::codec::Crc8(bytes, length, seed);
}

std::uint8_t QelProtocol::GenMsgId() {
    m_msgId = qel::codec::NextMessageId(m_msgId);
    return m_msgId;
}

std::uint8_t QelProtocol::MsgId() {
    return m_msgId;
}

int QelProtocol::HexCharToByte(char character, unsigned char& value) {
    return qel::codec::HexCharToByte(character, value);
}

int QelProtocol::Hex2CharToByte(const char* characters, unsigned char& value) {
    return qel::codec::Hex2CharToByte(characters, value);
}
