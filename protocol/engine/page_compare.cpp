// The compare before the upgrade writes anything: the device's CRC16s of ranges against the
// application image, so that pages the device holds already are not written again. A download
// that failed half way therefore resumes where it stopped.
#include <algorithm>

#include "application_layout.h"
#include "compare_scan.h"
#include "engine_events.h"
#include "qel_protocol.h"

namespace {

using qel::layout::kImageBase;
using qel::layout::kPageBytes;

}  // namespace

int QelProtocol::ComparePages() {
    m_pagesToWrite.clear();
    m_pagesSkipped = 0;
    const int pages = m_dataSize / kPageBytes;
    ReportProgress(QEL_PHASE_COMPARE, 0, pages);
    const qel::RangeCrcFetch fetch = [this](std::uint32_t offset, std::uint32_t size,
                                            std::uint16_t* crc) {
        const std::uint32_t address = kImageBase + offset;
        Events().Emit(qel::TraceOf(m_phase, qel::kCmdReadMemoryCrc16, address),
                      "\nDBG: Compare CRC16 at 0x%x, %u bytes", static_cast<unsigned>(address),
                      static_cast<unsigned>(size));
        return FetchRangeCrc(address, size, crc, "Compare CRC16");
    };
    qel::ComparePlan plan;
    const int ec =
        qel::ScanForDifferences(m_dataBuffer, static_cast<std::uint32_t>(m_dataSize), fetch, &plan);
    Events().Emit({.kind = QEL_EVENT_STEP,
                   .phase = m_phase,
                   .code = ec,
                   .command = qel::kCmdReadMemoryCrc16,
                   .address = kImageBase},
                  "\nCompare With Device. ec = %d", ec);
    if (ec != qel::kOk) {
        return ec;  // every page is written
    }
    const int requests = plan.requests;
    m_pagesToWrite = std::move(plan.differs);
    // Once anything is written, the header page is cleared first and so written again last.
    const int written =
        AnythingToWrite()
            ? 1 + static_cast<int>(std::count(m_pagesToWrite.begin() + 1, m_pagesToWrite.end(), 1))
            : 0;
    m_pagesSkipped = pages - written;
    Events().Emit({.phase = m_phase, .code = ec}, "\nPages to write: %d of %d (%d CRC16 requests).",
                  written, pages, requests);
    ReportProgress(QEL_PHASE_COMPARE, pages, pages);
    return ec;
}

bool QelProtocol::AnythingToWrite() const {
    return m_pagesToWrite.empty() ||
           std::find(m_pagesToWrite.begin(), m_pagesToWrite.end(), 1) != m_pagesToWrite.end();
}

bool QelProtocol::PageToWrite(std::uint32_t address) const {
    const std::size_t page = (address - kImageBase) / kPageBytes;
    return page >= m_pagesToWrite.size() || m_pagesToWrite[page] != 0;
}

std::uint32_t QelProtocol::NextPageToWrite(std::uint32_t from, std::uint32_t imageEnd) const {
    while (from < imageEnd && !PageToWrite(from)) {
        from += kPageBytes;
    }
    return from;
}
