// Direct access to the device's memory: one 256-byte block read or written, or the device's own
// CRC16 of a range. Each request and each reply carries a memory record, and a reply is accepted
// only when its record echoes exactly what was asked for.
#include <cstring>

#include "frame_codec.h"
#include "qel_protocol.h"

namespace {

using namespace qel::codec;

constexpr int kBlockBytes = 256;

// Request frames: header, memory record, CRC16.
constexpr int kReadRequestBytes = 14;
constexpr int kWriteRequestBytes = 270;
constexpr int kCrcRequestBytes = 16;
// Reply frames, without the CR.
constexpr int kReadReplyBytes = 271;
constexpr int kWriteReplyBytes = 7;
constexpr int kCrcReplyBytes = 19;

// Where the memory record starts in a request and in a reply (after the status byte).
constexpr int kRequestRecord = kHeaderLength;
constexpr int kReplyRecord = kHeaderLength + 1;
constexpr int kStatusByte = kHeaderLength;

// Record layouts: start, address, then a 16-bit block count or a 32-bit range size, checksum.
constexpr int kBlockRecordFixed = 7;  // start, address, count
constexpr int kCrcRecordFixed = 9;    // start, address, size
constexpr int kCrcRecordBytes = kCrcRecordFixed + 1 + 2;
constexpr int kBlockRecordBytes = kBlockRecordFixed + 1 + kBlockBytes;

constexpr std::uint8_t kReadReply = qel::kCmdReadMemory | qel::kReplyFlag;
constexpr std::uint8_t kWriteReply = qel::kCmdWriteMemory | qel::kReplyFlag;
constexpr std::uint8_t kCrcReply = qel::kCmdReadMemoryCrc16 | qel::kReplyFlag;

// Start byte, address and the block count 256; returns the bytes written.
int PutBlockRecordFields(unsigned char* record, int address) {
    record[0] = kStartByte;
    PutLittleEndian32(record + 1, static_cast<std::uint32_t>(address));
    record[5] = kBlockBytes & 0xFF;
    record[6] = kBlockBytes >> 8;
    return kBlockRecordFixed;
}

bool RecordAddsUp(const unsigned char* record, int length) {
    return ByteSum(record, length) == kRecordSeed;
}

bool BlockRecordMatches(const unsigned char* record, int address) {
    return record[0] == kStartByte &&
           GetLittleEndian32(record + 1) == static_cast<std::uint32_t>(address) &&
           GetLittleEndian16(record + 5) == kBlockBytes && RecordAddsUp(record, kBlockRecordBytes);
}

bool CrcRecordMatches(const unsigned char* record, int address, unsigned int size) {
    return record[0] == kStartByte &&
           GetLittleEndian32(record + 1) == static_cast<std::uint32_t>(address) &&
           GetLittleEndian32(record + 5) == size && RecordAddsUp(record, kCrcRecordBytes);
}

}  // namespace

int QelProtocol::ReadMemory(int address, unsigned char* block) {
    unsigned char frame[kReadRequestBytes];
    BeginFrame(frame, qel::kCmdReadMemory);
    unsigned char* record = frame + kRequestRecord;
    const int fixed = PutBlockRecordFields(record, address);
    record[fixed] = Crc8(record, fixed, kRecordSeed);

    unsigned char reply[kReadReplyBytes + 1];
    int result =
        Exchange(frame, kReadRequestBytes, reply, kReadReplyBytes, true, kReadReply, nullptr);
    if (result != qel::kOk) {
        return result;
    }
    // A refusing device owes no valid record, so the status decides first.
    if (reply[kStatusByte] != 0) {
        return qel::kErrReplyStatus;
    }
    if (!BlockRecordMatches(reply + kReplyRecord, address)) {
        return qel::kErrReadRecord;
    }
    std::memcpy(block, reply + kReplyRecord + kBlockRecordFixed + 1, kBlockBytes);
    return qel::kOk;
}

int QelProtocol::WriteMemory(int address, const unsigned char* block) {
    unsigned char frame[kWriteRequestBytes];
    BeginFrame(frame, qel::kCmdWriteMemory);
    unsigned char* record = frame + kRequestRecord;
    const int fixed = PutBlockRecordFields(record, address);
    unsigned char* content = record + fixed + 1;
    std::memcpy(content, block, kBlockBytes);
    // The checksum sits between the fields and the content and balances both.
    record[fixed] = static_cast<std::uint8_t>(kRecordSeed - ByteSum(record, fixed) -
                                              ByteSum(content, kBlockBytes));

    unsigned char reply[kWriteReplyBytes + 1];
    int result =
        Exchange(frame, kWriteRequestBytes, reply, kWriteReplyBytes, true, kWriteReply, nullptr);
    if (result != qel::kOk) {
        return result;
    }
    return reply[kStatusByte] != 0 ? qel::kErrReplyStatus : qel::kOk;
}

int QelProtocol::ReadMemoryCRC16(int address, unsigned int size, std::uint16_t& crc) {
    unsigned char frame[kCrcRequestBytes];
    BeginFrame(frame, qel::kCmdReadMemoryCrc16);
    unsigned char* record = frame + kRequestRecord;
    record[0] = kStartByte;
    PutLittleEndian32(record + 1, static_cast<std::uint32_t>(address));
    PutLittleEndian32(record + 5, size);
    record[kCrcRecordFixed] = Crc8(record, kCrcRecordFixed, kRecordSeed);

    unsigned char reply[kCrcReplyBytes + 1];
    int result = Exchange(frame, kCrcRequestBytes, reply, kCrcReplyBytes, true, kCrcReply, nullptr);
    if (result != qel::kOk) {
        return result;
    }
    if (reply[kStatusByte] != 0) {
        return qel::kErrReplyStatus;
    }
    const unsigned char* replyRecord = reply + kReplyRecord;
    if (!CrcRecordMatches(replyRecord, address, size)) {
        return qel::kErrCrcRecord;
    }
    // Inside the record the CRC is little-endian, unlike the frame's own CRC16.
    crc = GetLittleEndian16(replyRecord + kCrcRecordFixed + 1);
    return qel::kOk;
}
