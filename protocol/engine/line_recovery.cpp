// Bringing the line back in step after a failed exchange. A reply that came too late, a reply that
// came twice or a stray character stays in the channel and would stand in front of every later
// reply; the engine knows nothing of the channel but Write and Read, so it reads whole lines and
// keeps only the one that answers the request just sent. A failure that shows the connection is
// gone is mended by opening the channel again, when the caller has said how.
#include <algorithm>
#include <cstring>

#include "event_emitter.h"
#include "message_layout.h"
#include "qel_protocol.h"

namespace {

using qel::codec::kCarriageReturn;
using qel::codec::kHeaderLength;

// However much lies on the line, reading it stops after this many characters: a few stale
// replies of the longest kind and the reply itself.
constexpr int kMostStaleCharacters = 4 * (2 * qel::message::kLongestFixedReplyBytes + 1);

// A device needs time to act on a request beyond the characters' time on the line: flash pages
// take milliseconds to write, and a busy device reads its line late. 100 ms covers the page
// writes of the devices we know several times over, and is a tenth of the channel's time-out.
// A device slower than that is learnt from its answers: it is given twice the longest answer
// it has taken for the command, and twice as long again after a wait that ran out.
constexpr int kDeviceAnswerFloorMs = 100;
constexpr int kMostRetries = 10;

// True when the text's two characters at position are the byte value as hex digits (either case).
bool HoldsByte(const char* text, unsigned char value) {
    unsigned char byte = 0;
    return qel::codec::Hex2CharToByte(text, byte) == 0 && byte == value;
}

}  // namespace

bool QelProtocol::RecoversAfterFailure() const {
    return m_runMode == qel::kRunModeBlind || m_exchangeRetries > 0;
}

void QelProtocol::SetChannelOpenRecord(void* openRecord) {
    m_openRecord = openRecord;
}

void QelProtocol::SetExchangeRetries(int retries) {
    m_exchangeRetries = std::clamp(retries, 0, kMostRetries);
}

void QelProtocol::SetLineTiming(ILineTiming* timing) {
    m_lineTiming = timing;
}

int QelProtocol::LineWaitMs(int requestCharacters, int replyCharacters,
                            unsigned char command) const {
    const int perSecond = m_lineTiming->CharactersPerSecond();
    const long long lineMs =
        (static_cast<long long>(requestCharacters + replyCharacters) * 1000 + perSecond - 1) /
        perSecond;
    const long long allowance = std::max(kDeviceAnswerFloorMs, m_answerAllowanceMs[command]);
    return static_cast<int>(std::min<long long>(lineMs + allowance, 0x7FFFFFFF));
}

// The allowance follows what the device shows: twice its longest answer, doubled after a wait
// that ran out (a slow device, or a request lost on the line), and halved again step by step by
// answers that come in time, so that a noisy line does not keep the waits long.
void QelProtocol::NoteAnswer(unsigned char command, int result, bool paced, std::int64_t tookMs) {
    std::int32_t& allowance = m_answerAllowanceMs[command];
    const std::int32_t longest = m_lineTiming->ReadTimeout();
    if (result == qel::kOk) {
        const auto learnt = static_cast<std::int32_t>(std::min<std::int64_t>(2 * tookMs, longest));
        allowance = std::max({kDeviceAnswerFloorMs, learnt, allowance / 2});
    } else if (paced && allowance != 0) {
        allowance = std::min(2 * allowance, longest);
    }
}

int QelProtocol::ReadReply(char* text, int characters, int requestCharacters,
                           unsigned char command) {
    // With retries a lost reply costs the wait for it; on a line of known speed that is what the
    // request and the reply need on the wire and the device needs to answer. The first answer to
    // a command is waited for as long as the channel allows, and so are the CRC16 of ranges,
    // whose time grows with the range.
    command &= 0x7F;
    const bool timed =
        m_exchangeRetries > 0 && m_lineTiming != nullptr && m_lineTiming->CharactersPerSecond() > 0;
    const bool paced =
        timed && m_answerAllowanceMs[command] != 0 && command != qel::kCmdReadMemoryCrc16;
    const int channelTimeout = timed ? m_lineTiming->ReadTimeout() : 0;
    if (paced) {
        const int wait = LineWaitMs(requestCharacters, characters, command);
        m_lineTiming->SetReadTimeout(std::min(wait, channelTimeout));
    }
    const std::int64_t start = qel::SteadyMilliseconds();
    const int result =
        m_lineOutOfStep ? ReadReplyInStep(text, characters) : ReadFromLine(text, characters);
    if (timed) {
        m_lineTiming->SetReadTimeout(channelTimeout);
        NoteAnswer(command, result, paced, qel::SteadyMilliseconds() - start);
    }
    return result;
}

// Collects characters up to each CR and judges the line: the reply is the line of the expected
// length (or the last characters of a longer one, which a stray character stands in front of)
// that starts a frame and carries the request's message id. Every other line is an older reply
// or garbage, and is passed over. Each Read is bounded by the channel's time-out.
int QelProtocol::ReadReplyInStep(char* text, int characters) {
    char line[2 * qel::message::kLongestFixedReplyBytes + 2];
    int held = 0;  // the line's last characters, at most `characters` of them
    for (int read = 0; read < kMostStaleCharacters + characters; ++read) {
        char character = 0;
        const int result = ReadFromLine(&character, 1);
        if (result != qel::kOk) {
            return result;
        }
        if (held == characters) {
            std::memmove(line, line + 1, static_cast<std::size_t>(held - 1));
            --held;
        }
        line[held++] = character;
        if (character != kCarriageReturn) {
            continue;
        }
        if (held == characters && HoldsByte(line, qel::codec::kStartByte) &&
            HoldsByte(line + 2 * (kHeaderLength - 1), m_msgId)) {
            std::memcpy(text, line, static_cast<std::size_t>(characters));
            return qel::kOk;
        }
        held = 0;
    }
    return qel::kErrReplyMessageId;  // nothing on the line answered the request
}

void QelProtocol::ReportRetry(const unsigned char* frame, int code, int retry) {
    Events().Emit({.kind = QEL_EVENT_RETRY,
                   .phase = m_phase,
                   .code = code,
                   .command = frame[1],
                   .attempt = retry},
                  "\nWARNING: No valid reply (ec=%d). Sending the request again (retry %d of %d).",
                  code, retry, static_cast<int>(m_exchangeRetries));
}

int QelProtocol::Reconnect() {
    if (m_openRecord == nullptr) {
        return qel::kErrArgument;
    }
    Events().Emit({.phase = m_phase}, "\nReconnecting ...");
    m_channel->Close();
    const int result = m_channel->Open(m_openRecord);
    if (result != qel::kOk) {
        Events().Emit({.kind = QEL_EVENT_WARNING, .phase = m_phase, .code = result},
                      "\nWARNING: Reconnecting failed. ec=%d", result);
    }
    // A reply on its way before the channel was opened again may still arrive on a serial line.
    m_lineOutOfStep = true;
    return result;
}
