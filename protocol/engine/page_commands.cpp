// The page and reset commands of the upgrade sequence. Instead of trace notifications they print
// a "DBG: " line when they start and one that names the step that failed.
#include <cstring>

#include "application_layout.h"
#include "frame_codec.h"
#include "qel_print.h"
#include "qel_protocol.h"

namespace {

using namespace qel::codec;
using qel::layout::kImageBase;
using qel::layout::kPageBytes;

constexpr int kStatusOffset = 4;
constexpr int kStatusReplyBytes = 7;  // start, code, separator, id, status, CRC16
constexpr int kResetFrameBytes = 6;

// The memory record of a page transfer: start, address, 16-bit length, checksum.
constexpr int kRecordHeaderBytes = 8;
constexpr int kPageWriteFrameBytes = kHeaderLength + kRecordHeaderBytes + kPageBytes + kCrcLength;
constexpr int kPageReadFrameBytes = kHeaderLength + kRecordHeaderBytes + kCrcLength;
// The read reply carries the status byte in front of the record.
constexpr int kPageReadReplyBytes = kPageWriteFrameBytes + 1;
constexpr int kReplyRecordOffset = kHeaderLength + 1;
constexpr int kReplyRecordBytes = kRecordHeaderBytes + kPageBytes;

// Writes start, address and length of a page record and leaves its checksum byte at 0.
void PutPageRecordHeader(unsigned char* record, int address) {
    record[0] = kStartByte;
    PutLittleEndian32(record + 1, static_cast<std::uint32_t>(address));
    record[5] = static_cast<unsigned char>(kPageBytes & 0xFF);
    record[6] = static_cast<unsigned char>(kPageBytes >> 8);
    record[7] = 0;
}

bool PageRecordMatches(const unsigned char* record, int address) {
    return record[0] == kStartByte &&
           GetLittleEndian32(record + 1) == static_cast<std::uint32_t>(address) &&
           GetLittleEndian16(record + 5) == kPageBytes &&
           ByteSum(record, kReplyRecordBytes) == kRecordSeed;
}

}  // namespace

int QelProtocol::ReportedExchange(unsigned char* frame, int frameLength, unsigned char* reply,
                                  int replyLength, const char* name) {
    ExchangeStage stage = ExchangeStage::kDone;
    const int result = Exchange(frame, frameLength, reply, replyLength, false, 0, &stage);
    if (result != qel::kOk) {
        switch (stage) {
            case ExchangeStage::kRead:
                qel::Print("\nDBG: %s Failed. Cannot read reply.", name);
                break;
            case ExchangeStage::kConvert:
                qel::Print("\nDBG: %s Failed. Cannot convert to binary data format.", name);
                break;
            case ExchangeStage::kCheck:
                qel::Print("\nDBG: %s Failed. Reply format is bad.", name);
                break;
            case ExchangeStage::kWrite:
            case ExchangeStage::kDone:
                break;  // a failed send is the channel's own report
        }
        return result;
    }
    if (reply[kStatusOffset] != 0) {
        qel::Print("\nDBG: %s Failed. Reply STATUS byte is bad.", name);
        return qel::kErrReplyStatus;
    }
    return qel::kOk;
}

int QelProtocol::PageWrite(int address, const unsigned char* data, const char* name) {
    unsigned char frame[kPageWriteFrameBytes];
    BeginFrame(frame, qel::kCmdWriteMemory);
    qel::Print("\nDBG: %s at 0x%x", name, static_cast<unsigned>(address));
    unsigned char* record = frame + kHeaderLength;
    PutPageRecordHeader(record, address);
    std::memcpy(record + kRecordHeaderBytes, data, kPageBytes);
    // With the checksum byte still 0 this makes the whole record add up to the seed.
    record[7] = Crc8(record, kRecordHeaderBytes + kPageBytes, kRecordSeed);
    unsigned char reply[kStatusReplyBytes + 1];
    return ReportedExchange(frame, kPageWriteFrameBytes, reply, kStatusReplyBytes, name);
}

int QelProtocol::ClearPage(int address) {
    unsigned char erased[kPageBytes];
    std::memset(erased, 0xFF, sizeof erased);
    return PageWrite(address, erased, "Clear Page");
}

int QelProtocol::WritePage(int address) {
    // The page must lie inside the application image; nothing is sent for one that does not.
    const long long offset = static_cast<long long>(address) - kImageBase;
    if (m_dataBuffer == nullptr || offset < 0 || offset + kPageBytes > m_dataSize) {
        return qel::kErrNoImage;
    }
    return PageWrite(address, m_dataBuffer + offset, "Write Page");
}

int QelProtocol::ReadPage(int address, unsigned char* page) {
    unsigned char frame[kPageReadFrameBytes];
    BeginFrame(frame, qel::kCmdReadMemory);
    qel::Print("\nDBG: Read Page at 0x%x", static_cast<unsigned>(address));
    unsigned char* record = frame + kHeaderLength;
    PutPageRecordHeader(record, address);
    record[7] = Crc8(record, kRecordHeaderBytes - 1, kRecordSeed);
    unsigned char reply[kPageReadReplyBytes + 1];
    const int result =
        ReportedExchange(frame, kPageReadFrameBytes, reply, kPageReadReplyBytes, "Read Page");
    if (result != qel::kOk) {
        return result;
    }
    const unsigned char* replyRecord = reply + kReplyRecordOffset;
    if (!PageRecordMatches(replyRecord, address)) {
        return qel::kErrReadRecord;
    }
    std::memcpy(page, replyRecord + kRecordHeaderBytes, kPageBytes);
    return qel::kOk;
}

int QelProtocol::ResetDevice() {
    unsigned char frame[kResetFrameBytes];
    BeginFrame(frame, qel::kCmdReset);
    qel::Print("\nDBG: Reset Device");
    unsigned char reply[kStatusReplyBytes + 1];
    return ReportedExchange(frame, kResetFrameBytes, reply, kStatusReplyBytes, "Reset Device");
}
