// The two ways of verifying the written application image: the device's CRC16 of the whole range,
// and reading every page back.
#include <cstring>

#include "application_layout.h"
#include "qel_print.h"
#include "qel_protocol.h"

namespace {

using qel::layout::kImageBase;
using qel::layout::kPageBytes;

}  // namespace

int QelProtocol::VerifyDownloadedDataWithCrc16Method() {
    if (m_dataBuffer == nullptr) {
        return qel::kErrNoImage;
    }
    qel::Print("\nDBG: Verify with CRC16");
    std::uint16_t deviceCrc = 0;
    const int result = FetchRangeCrc(kImageBase, static_cast<std::uint32_t>(m_dataSize), &deviceCrc,
                                     "Verify with CRC16");
    if (result != qel::kOk) {
        return result;
    }
    const unsigned imageCrc = Crc16(m_dataBuffer, m_dataSize);
    qel::Print("\nCRC DATA: 0x%x", imageCrc);
    qel::Print("\nCRC RESP: 0x%x", static_cast<unsigned>(deviceCrc));
    return imageCrc == deviceCrc ? qel::kOk : qel::kErrImageCrcMismatch;
}

// Starts at m_pageAddress and leaves it at the page that failed, so that a resumed sequence goes
// on from there.
int QelProtocol::VerifyDownloadedDataWithFullMethod() {
    if (m_dataBuffer == nullptr) {
        return qel::kErrNoImage;
    }
    qel::Print("\nDBG: Verify with reading all data back");
    const std::uint32_t imageEnd = kImageBase + static_cast<std::uint32_t>(m_dataSize);
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
                qel::Print("\nERROR: Block at address 0x%x contains corrupted data.",
                           static_cast<unsigned>(m_pageAddress));
                qel::Print("\nByte at position %d is not the same as original one.", i);
                qel::Print("\nOriginal: 0x%x", static_cast<unsigned>(original[i]));
                qel::Print("\nUploaded: 0x%x", static_cast<unsigned>(page[i]));
                return qel::kErrImageCorrupted;
            }
        }
        m_pageAddress += kPageBytes;
    }
    return qel::kOk;
}
