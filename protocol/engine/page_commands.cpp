// The page and reset commands of the upgrade sequence. Instead of trace notifications they report
// a "DBG: " line when they start and one that names the step that failed.
#include <cstring>

#include "application_layout.h"
#include "engine_events.h"
#include "message_layout.h"
#include "qel_protocol.h"

namespace {

using qel::layout::kImageBase;
using qel::layout::kPageBytes;

}  // namespace

int QelProtocol::ClearPage(int address) {
    Events().Emit(qel::TraceOf(m_phase, qel::kCmdWriteMemory, static_cast<std::uint32_t>(address)),
                  "\nDBG: Clear Page at 0x%x", static_cast<unsigned>(address));
    unsigned char erased[kPageBytes];
    std::memset(erased, 0xFF, sizeof erased);
    return SendBlock(address, erased, "Clear Page");
}

int QelProtocol::WritePage(int address) {
    // The page must lie inside the application image; nothing is sent for one that does not.
    const long long offset = static_cast<long long>(address) - kImageBase;
    if (m_dataBuffer == nullptr || offset < 0 || offset + kPageBytes > m_dataSize) {
        return qel::kErrNoImage;
    }
    Events().Emit(qel::TraceOf(m_phase, qel::kCmdWriteMemory, static_cast<std::uint32_t>(address)),
                  "\nDBG: Write Page at 0x%x", static_cast<unsigned>(address));
    return SendBlock(address, m_dataBuffer + offset, "Write Page");
}

int QelProtocol::ReadPage(int address, unsigned char* page) {
    Events().Emit(qel::TraceOf(m_phase, qel::kCmdReadMemory, static_cast<std::uint32_t>(address)),
                  "\nDBG: Read Page at 0x%x", static_cast<unsigned>(address));
    return FetchRecordContent(qel::kCmdReadMemory, static_cast<std::uint32_t>(address), kPageBytes,
                              page, kPageBytes, "Read Page");
}

int QelProtocol::ResetDevice() {
    using qel::message::kBareRequestBytes;
    using qel::message::kStatusReplyBytes;
    unsigned char frame[kBareRequestBytes];
    BeginFrame(frame, qel::kCmdReset);
    Events().Emit(qel::TraceOf(m_phase, qel::kCmdReset, 0), "\nDBG: Reset Device");
    unsigned char reply[kStatusReplyBytes + 1];
    return StatusExchange(frame, kBareRequestBytes, reply, kStatusReplyBytes, "Reset Device");
}
