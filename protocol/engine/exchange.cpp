// The request/reply exchange that every command runs: one request frame out as hex text and a CR,
// one reply of known length back, converted and checked.
#include <cstring>

#include "event_emitter.h"
#include "message_layout.h"
#include "platform.h"
#include "qel_protocol.h"

namespace {

using namespace qel::codec;
using qel::message::kLongestFixedReplyBytes;
using qel::message::kLongestRequestBytes;
using qel::message::kStatusOffset;

// The device address in the memory record of a page or CRC16 request, 0 for other requests.
std::uint32_t RecordAddress(const unsigned char* frame) {
    const unsigned char command = frame[1];
    if (command != qel::kCmdWriteMemory && command != qel::kCmdReadMemory &&
        command != qel::kCmdReadMemoryCrc16) {
        return 0;
    }
    return GetLittleEndian32(frame + kHeaderLength + 1);
}

}  // namespace

int QelProtocol::WriteToLine(char* data, int length) {
    const int result = m_channel->Write(data, length);
    if (result == qel::kOk) {
        m_lineBytes += static_cast<std::uint64_t>(length);
    }
    return result;
}

int QelProtocol::ReadFromLine(char* buffer, int length) {
    const int result = m_channel->Read(buffer, length);
    if (result == qel::kOk) {
        m_lineBytes += static_cast<std::uint64_t>(length);
    }
    return result;
}

void QelProtocol::BeginFrame(unsigned char* frame, unsigned char command) {
    frame[0] = kStartByte;
    frame[1] = command;
    frame[2] = kSeparator;
    frame[3] = GenMsgId();
}

int QelProtocol::SendFrame(unsigned char* frame, int frameLength, bool notify) {
    const std::uint16_t crc = Crc16(frame, frameLength - kCrcLength);
    frame[frameLength - 2] = static_cast<unsigned char>(crc >> 8);
    frame[frameLength - 1] = static_cast<unsigned char>(crc & 0xFF);

    char text[2 * kLongestRequestBytes];
    const int characters = 2 * frameLength;
    ConvertToHexString(text, frame, frameLength);
    if (notify && m_hwnd != nullptr) {
        const WPARAM wParam = (static_cast<WPARAM>(characters) << 16) | frame[1];
        SendMessageA(m_hwnd, qel::kTraceMessage, wParam, reinterpret_cast<LPARAM>(text));
    }
    int result = WriteToLine(text, characters);
    if (result != qel::kOk) {
        return result;
    }
    char carriageReturn = kCarriageReturn;
    return WriteToLine(&carriageReturn, 1);
}

void QelProtocol::NotifyReply(int replyCode, char* text) {
    if (m_hwnd != nullptr) {
        SendMessageA(m_hwnd, qel::kTraceMessage, static_cast<WPARAM>(replyCode),
                     reinterpret_cast<LPARAM>(text));
    }
}

int QelProtocol::Exchange(unsigned char* frame, int frameLength, unsigned char* reply,
                          int replyLength, bool notify, int notifiedReplyCode,
                          ExchangeStage* stage) {
    ExchangeStage ignored;
    ExchangeStage& at = stage != nullptr ? *stage : ignored;
    if (frameLength > kLongestRequestBytes || replyLength > kLongestFixedReplyBytes) {
        at = ExchangeStage::kWrite;
        return qel::kErrWriteIncomplete;
    }
    for (int retry = 1;; ++retry) {
        const int result =
            ExchangeOnce(frame, frameLength, reply, replyLength, notify, notifiedReplyCode, at);
        if (result == qel::kOk) {
            m_lineOutOfStep = false;
            return result;
        }
        m_lineOutOfStep = m_lineOutOfStep || RecoversAfterFailure();
        // A request that could not be sent means the channel is gone; only what the line lost
        // or garbled on the way back is worth sending again.
        if (retry > m_exchangeRetries || at == ExchangeStage::kWrite) {
            return result;
        }
        ReportRetry(frame, result, retry);
        frame[3] = GenMsgId();
    }
}

int QelProtocol::ExchangeOnce(unsigned char* frame, int frameLength, unsigned char* reply,
                              int replyLength, bool notify, int notifiedReplyCode,
                              ExchangeStage& at) {
    at = ExchangeStage::kWrite;
    const int result = SendFrame(frame, frameLength, notify);
    if (result != qel::kOk) {
        return result;
    }
    return ReceiveReply(frame[1], m_msgId, 2 * frameLength + 1, reply, replyLength, notify,
                        notifiedReplyCode, at);
}

int QelProtocol::ReceiveReply(unsigned char command, std::uint8_t messageId, int requestCharacters,
                              unsigned char* reply, int replyLength, bool notify,
                              int notifiedReplyCode, ExchangeStage& at) {
    // One byte more than the text, so that it ends with a NUL.
    char text[2 * kLongestFixedReplyBytes + 2];
    std::memset(text, 0, sizeof text);
    at = ExchangeStage::kRead;
    int result = ReadReply(text, 2 * replyLength + 1, requestCharacters, command);
    if (result != qel::kOk) {
        return result;
    }
    if (notify) {
        NotifyReply(notifiedReplyCode, text);
    }

    std::memset(reply, 0, static_cast<std::size_t>(replyLength) + 1);
    at = ExchangeStage::kConvert;
    result = ConvertToBinary(reply, text);
    if (result != qel::kOk) {
        return result;
    }
    at = ExchangeStage::kCheck;
    result = qel::codec::CheckReply(reply, static_cast<char>(command), replyLength + 1, messageId);
    if (result != qel::kOk) {
        return result;
    }
    at = ExchangeStage::kDone;
    return qel::kOk;
}

int QelProtocol::ReportedExchange(unsigned char* frame, int frameLength, unsigned char* reply,
                                  int replyLength, const char* name) {
    ExchangeStage stage = ExchangeStage::kDone;
    const int result = Exchange(frame, frameLength, reply, replyLength, false, 0, &stage);
    return ReportOutcome(result, stage, reply, frame[1], RecordAddress(frame), name);
}

int QelProtocol::ReportOutcome(int result, ExchangeStage stage, const unsigned char* reply,
                               unsigned char command, std::uint32_t address, const char* name) {
    const qel::EventFields failure{.kind = QEL_EVENT_TRACE,
                                   .phase = m_phase,
                                   .code = result != qel::kOk ? result : qel::kErrReplyStatus,
                                   .command = command,
                                   .address = address};
    if (result != qel::kOk) {
        switch (stage) {
            case ExchangeStage::kRead:
                Events().Emit(failure, "\nDBG: %s Failed. Cannot read reply.", name);
                break;
            case ExchangeStage::kConvert:
                Events().Emit(failure, "\nDBG: %s Failed. Cannot convert to binary data format.",
                              name);
                break;
            case ExchangeStage::kCheck:
                Events().Emit(failure, "\nDBG: %s Failed. Reply format is bad.", name);
                break;
            case ExchangeStage::kWrite:
            case ExchangeStage::kDone:
                break;  // a failed send is the channel's own report
        }
        return result;
    }
    if (reply[kStatusOffset] != 0) {
        Events().Emit(failure, "\nDBG: %s Failed. Reply STATUS byte is bad.", name);
        return qel::kErrReplyStatus;
    }
    return qel::kOk;
}

int QelProtocol::StatusExchange(unsigned char* frame, int frameLength, unsigned char* reply,
                                int replyLength, const char* reportedName) {
    if (reportedName != nullptr) {
        return ReportedExchange(frame, frameLength, reply, replyLength, reportedName);
    }
    const int result =
        Exchange(frame, frameLength, reply, replyLength, true, frame[1] + qel::kReplyFlag, nullptr);
    if (result != qel::kOk) {
        return result;
    }
    return reply[kStatusOffset] == 0 ? qel::kOk : qel::kErrReplyStatus;
}
