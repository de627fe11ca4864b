// The two ways of verifying the written application image: the device's CRC16 of the whole range,
// and reading every page back.
#include <cstring>

#include "application_layout.h"
#include "frame_codec.h"
#include "qel_print.h"
#include "qel_protocol.h"

namespace {

using namespace qel::codec;
using qel::layout::kImageBase;
using qel::layout::kPageBytes;

// The memory record of a CRC16 request: start, address, 32-bit size, checksum.
constexpr int kCrcRecordBytes = 10;
constexpr int kCrcFrameBytes = kHeaderLength + kCrcRecordBytes + kCrcLength;
// The reply: status byte, the record and the device's CRC16 behind it.
constexpr int kCrcReplyBytes = kHeaderLength + 1 + kCrcRecordBytes + 2 + kCrcLength;
constexpr int kReplyRecordOffset = kHeaderLength + 1;
constexpr int kReplyRecordCheckedBytes = kCrcRecordBytes + 2;

bool CrcRecordMatches(const unsigned char* record, std::uint32_t size) {
    return record[0] == kStartByte && GetLittleEndian32(record + 1) == kImageBase &&
           GetLittleEndian32(record + 5) == size &&
           ByteSum(record, kReplyRecordCheckedBytes) == kRecordSeed;
}

}  // namespace

int QelProtocol::VerifyDownloadedDataWithCrc16Method() {
    if (m_dataBuffer == nullptr) {
        return qel::kErrNoImage;
    }
    qel::Print("\nDBG: Verify with CRC16");
    unsigned char frame[kCrcFrameBytes];
    BeginFrame(frame, qel::kCmdReadMemoryCrc16);
    unsigned char* record = frame + kHeaderLength;
    record[0] = kStartByte;
    PutLittleEndian32(record + 1, kImageBase);
    PutLittleEndian32(record + 5, static_cast<std::uint32_t>(m_dataSize));
    record[9] = Crc8(record, kCrcRecordBytes - 1, kRecordSeed);

    unsigned char reply[kCrcReplyBytes + 1];
    const int result =
        ReportedExchange(frame, kCrcFrameBytes, reply, kCrcReplyBytes, "Verify with CRC16");
    if (result != qel::kOk) {
        return result;
    }
    const unsigned char* replyRecord = reply + kReplyRecordOffset;
    if (!CrcRecordMatches(replyRecord, static_cast<std::uint32_t>(m_dataSize))) {
        return qel::kErrCrcRecord;
    }
    const unsigned imageCrc = Crc16(m_dataBuffer, m_dataSize);
    const unsigned deviceCrc = GetLittleEndian16(replyRecord + kCrcRecordBytes);
    qel::Print("\nCRC DATA: 0x%x", imageCrc);
    qel::Print("\nCRC RESP: 0x%x", deviceCrc);
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
