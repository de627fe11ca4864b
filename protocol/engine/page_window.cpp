// Page writes in flight: over a link with a long round trip the next page requests leave before
// the replies to the earlier ones have come, and the replies are taken in order, each matched by
// the message id of its request. The device still reads one request at a time; TCP's flow
// control holds the rest. The first failure stops the sending, and the attempt fails there.
#include <deque>

#include "application_layout.h"
#include "engine_events.h"
#include "message_layout.h"
#include "qel_protocol.h"

namespace {

using qel::layout::kImageBase;
using qel::layout::kPageBytes;

// A page request sent whose reply has not been read yet.
struct SentPage {
    std::uint32_t address;
    std::uint8_t messageId;
};

}  // namespace

// The blind mode goes on over the same line after a failed step, which outstanding replies would
// put out of step: it keeps to one request at a time.
bool QelProtocol::UsesPageWindow() const {
    return m_pagesInFlight > 1 && m_runMode != qel::kRunModeBlind;
}

int QelProtocol::SendPageRequest(std::uint32_t address) {
    Events().Emit(qel::TraceOf(m_phase, qel::kCmdWriteMemory, address), "\nDBG: Write Page at 0x%x",
                  static_cast<unsigned>(address));
    unsigned char frame[qel::message::kBlockWriteRequestBytes];
    BuildBlockFrame(frame, static_cast<int>(address), m_dataBuffer + (address - kImageBase));
    return SendFrame(frame, qel::message::kBlockWriteRequestBytes, false);
}

int QelProtocol::WritePagesInFlight(std::uint32_t imageEnd) {
    using qel::message::kStatusReplyBytes;
    std::deque<SentPage> sent;
    std::uint32_t next = m_pageAddress;
    while (true) {
        while (static_cast<int>(sent.size()) < m_pagesInFlight && next < imageEnd && !Cancelled()) {
            const int result = SendPageRequest(next);
            if (result != qel::kOk) {
                // A failed send is the channel's own report.
                m_pageAddress = next;
                Events().Emit(qel::StepOf(m_phase, result, qel::kCmdWriteMemory, next),
                              "\nWrite Page. ec = %d", result);
                return result;
            }
            sent.push_back({next, m_msgId});
            next = NextPageToWrite(next + kPageBytes, imageEnd);
        }
        if (sent.empty()) {
            return qel::kOk;
        }
        const SentPage page = sent.front();
        sent.pop_front();
        unsigned char reply[kStatusReplyBytes + 1];
        ExchangeStage stage = ExchangeStage::kDone;
        int result = ReceiveReply(qel::kCmdWriteMemory, page.messageId,
                                  2 * qel::message::kBlockWriteRequestBytes + 1, reply,
                                  kStatusReplyBytes, false, 0, stage);
        result =
            ReportOutcome(result, stage, reply, qel::kCmdWriteMemory, page.address, "Write Page");
        Events().Emit(qel::StepOf(m_phase, result, qel::kCmdWriteMemory, page.address),
                      "\nWrite Page. ec = %d", result);
        m_pageAddress = page.address;
        if (result != qel::kOk) {
            // Replies to the later requests may still come.
            m_lineOutOfStep = true;
            return result;
        }
        ++m_pagesWritten;
        m_pageAddress = NextPageToWrite(m_pageAddress + kPageBytes, imageEnd);
        ReportProgress(QEL_PHASE_WRITE, DataPagesDone(), DataPages());
    }
}
