// The two ways of verifying the written application image: the device's CRC16 of the whole range,
// and reading every page back.
#include <cstring>

#include "application_layout.h"
#include "event_emitter.h"
#include "qel_protocol.h"

namespace {

using qel::layout::kImageBase;
using qel::layout::kPageBytes;

int PagesBefore(std::uint32_t address) {
    return static_cast<int>((address - kImageBase) / kPageBytes);
}

}  // namespace

int QelProtocol::VerifyDownloadedDataWithCrc16Method() {
    if (m_dataBuffer == nullptr) {
        return qel::kErrNoImage;
    }
    Events().Emit({.kind = QEL_EVENT_TRACE,
                   .phase = m_phase,
                   .command = qel::kCmdReadMemoryCrc16,
                   .address = kImageBase},
                  "\nDBG: Verify with CRC16");
    std::uint16_t deviceCrc = 0;
    const int fetched = FetchRangeCrc(kImageBase, static_cast<std::uint32_t>(m_dataSize),
                                      &deviceCrc, "Verify with CRC16");
    if (fetched != qel::kOk) {
        return fetched;
    }
    const unsigned imageCrc = Crc16(m_dataBuffer, m_dataSize);
    const int result = imageCrc == deviceCrc ? qel::kOk : qel::kErrImageCrcMismatch;
    Events().Emit({.phase = m_phase, .code = result}, "\nCRC DATA: 0x%x", imageCrc);
    Events().Emit({.phase = m_phase, .code = result}, "\nCRC RESP: 0x%x",
                  static_cast<unsigned>(deviceCrc));
    return result;
}

// Starts at m_pageAddress and leaves it at the page that failed, so that a resumed sequence goes
// on from there.
int QelProtocol::VerifyDownloadedDataWithFullMethod() {
    if (m_dataBuffer == nullptr) {
        return qel::kErrNoImage;
    }
    const std::uint32_t imageEnd = kImageBase + static_cast<std::uint32_t>(m_dataSize);
    const int pages = PagesBefore(imageEnd);
    EnterPhase(QEL_PHASE_READ_BACK, PagesBefore(m_pageAddress), pages);
    Events().Emit({.kind = QEL_EVENT_TRACE, .phase = m_phase, .command = qel::kCmdReadMemory},
                  "\nDBG: Verify with reading all data back");
    while (m_pageAddress < imageEnd) {
        unsigned char page[kPageBytes];
        std::memset(page, 0, sizeof page);
        const int result = ReadPage(static_cast<int>(m_pageAddress), page);
        if (result != qel::kOk) {
            return result;
        }
        const unsigned char* original = m_dataBuffer + (m_pageAddress - kImageBase);
        for (int i = 0; i < kPageBytes; ++i) {
            if (page[i] != original[i]) {
                ReportDifference(i, original[i], page[i]);
                return qel::kErrImageCorrupted;
            }
        }
        m_pageAddress += kPageBytes;
        ReportProgress(QEL_PHASE_READ_BACK, PagesBefore(m_pageAddress), pages);
    }
    return qel::kOk;
}

// Four error lines, each with the page's address and the result they lead to.
void QelProtocol::ReportDifference(int position, unsigned char original, unsigned char uploaded) {
    const qel::EventFields error{.kind = QEL_EVENT_ERROR,
                                 .phase = m_phase,
                                 .code = qel::kErrImageCorrupted,
                                 .command = qel::kCmdReadMemory,
                                 .address = m_pageAddress};
    qel::EventEmitter events = Events();
    events.Emit(error, "\nERROR: Block at address 0x%x contains corrupted data.",
                static_cast<unsigned>(m_pageAddress));
    events.Emit(error, "\nByte at position %d is not the same as original one.", position);
    events.Emit(error, "\nOriginal: 0x%x", static_cast<unsigned>(original));
    events.Emit(error, "\nUploaded: 0x%x", static_cast<unsigned>(uploaded));
}
