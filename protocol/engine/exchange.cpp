// The request/reply exchange that every command runs: one request frame out as hex text and a CR,
// one reply of known length back, converted and checked.
#include <cstring>

#include "frame_codec.h"
#include "qel_protocol.h"

namespace {

using namespace qel::codec;

constexpr unsigned kTraceMessage = 0x401;
// The longest request (a page write) and the longest fixed reply (a page read).
constexpr int kMaxRequestBytes = 270;
constexpr int kMaxReplyBytes = 271;

}  // namespace

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

    char text[2 * kMaxRequestBytes];
    const int characters = 2 * frameLength;
    ConvertToHexString(text, frame, frameLength);
    if (notify && m_hwnd != nullptr) {
        const WPARAM wParam = (static_cast<WPARAM>(characters) << 16) | frame[1];
        SendMessageA(m_hwnd, kTraceMessage, wParam, reinterpret_cast<LPARAM>(text));
    }
    int result = m_channel->Write(text, characters);
    if (result != qel::kOk) {
        return result;
    }
    char carriageReturn = kCarriageReturn;
    return m_channel->Write(&carriageReturn, 1);
}

void QelProtocol::NotifyReply(int replyCode, char* text) {
    if (m_hwnd != nullptr) {
        SendMessageA(m_hwnd, kTraceMessage, static_cast<WPARAM>(replyCode),
                     reinterpret_cast<LPARAM>(text));
    }
}

int QelProtocol::Exchange(unsigned char* frame, int frameLength, unsigned char* reply,
                          int replyLength, bool notify, int notifiedReplyCode,
                          ExchangeStage* stage) {
    ExchangeStage ignored;
    ExchangeStage& at = stage != nullptr ? *stage : ignored;
    if (frameLength > kMaxRequestBytes || replyLength > kMaxReplyBytes) {
        at = ExchangeStage::kWrite;
        return qel::kErrWriteIncomplete;
    }
    at = ExchangeStage::kWrite;
    int result = SendFrame(frame, frameLength, notify);
    if (result != qel::kOk) {
        return result;
    }

    // One byte more than the text, so that it ends with a NUL.
    char text[2 * kMaxReplyBytes + 2];
    std::memset(text, 0, sizeof text);
    at = ExchangeStage::kRead;
    result = m_channel->Read(text, 2 * replyLength + 1);
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
    result = CheckReply(reply, static_cast<char>(frame[1]), replyLength + 1);
    if (result != qel::kOk) {
        return result;
    }
    at = ExchangeStage::kDone;
    return qel::kOk;
}
