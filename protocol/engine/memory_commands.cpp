// Memory transfers: one 256-byte block written or read, or the device's CRC16 of a range. Each
// request and each reply carries a memory record, and a reply is accepted only when its record
// echoes exactly what was asked for. The public memory commands are these transfers with trace
// notifications; the page commands and the CRC16 verification run them with "DBG: " lines.
#include <cstring>

#include "message_layout.h"
#include "qel_protocol.h"

namespace {

using namespace qel::message;
using qel::layout::kPageBytes;
using qel::record::LengthField;

}  // namespace

int QelProtocol::SendBlock(int address, const unsigned char* block, const char* reportedName) {
    unsigned char frame[kBlockWriteRequestBytes];
    BeginFrame(frame, qel::kCmdWriteMemory);
    qel::record::PutRecord(frame + kHeaderLength, static_cast<std::uint32_t>(address), kPageBytes,
                           LengthField::k16Bit, block, kPageBytes);
    unsigned char reply[kStatusReplyBytes + 1];
    return StatusExchange(frame, kBlockWriteRequestBytes, reply, kStatusReplyBytes, reportedName);
}

// A refusing device owes no valid record, so the status decides first.
int QelProtocol::FetchBlock(int address, unsigned char* block, const char* reportedName) {
    const auto at = static_cast<std::uint32_t>(address);
    unsigned char frame[kBlockReadRequestBytes];
    BeginFrame(frame, qel::kCmdReadMemory);
    qel::record::PutRecord(frame + kHeaderLength, at, kPageBytes, LengthField::k16Bit, nullptr, 0);
    unsigned char reply[kBlockReadReplyBytes + 1];
    const int result =
        StatusExchange(frame, kBlockReadRequestBytes, reply, kBlockReadReplyBytes, reportedName);
    if (result != qel::kOk) {
        return result;
    }
    const unsigned char* record = reply + kReplyRecordOffset;
    if (!qel::record::RecordMatches(record, at, kPageBytes, LengthField::k16Bit, kPageBytes)) {
        return qel::kErrReadRecord;
    }
    std::memcpy(block, qel::record::Content(record, LengthField::k16Bit), kPageBytes);
    return qel::kOk;
}

int QelProtocol::FetchRangeCrc(std::uint32_t address, std::uint32_t size, std::uint16_t* crc,
                               const char* reportedName) {
    unsigned char frame[kRangeCrcRequestBytes];
    BeginFrame(frame, qel::kCmdReadMemoryCrc16);
    qel::record::PutRecord(frame + kHeaderLength, address, size, LengthField::k32Bit, nullptr, 0);
    unsigned char reply[kRangeCrcReplyBytes + 1];
    const int result =
        StatusExchange(frame, kRangeCrcRequestBytes, reply, kRangeCrcReplyBytes, reportedName);
    if (result != qel::kOk) {
        return result;
    }
    const unsigned char* record = reply + kReplyRecordOffset;
    if (!qel::record::RecordMatches(record, address, size, LengthField::k32Bit, kRangeCrcBytes)) {
        return qel::kErrCrcRecord;
    }
    // Inside the record the CRC is little-endian, unlike the frame's own CRC16.
    *crc = qel::codec::GetLittleEndian16(qel::record::Content(record, LengthField::k32Bit));
    return qel::kOk;
}

int QelProtocol::ReadMemory(int address, unsigned char* block) {
    return FetchBlock(address, block, nullptr);
}

int QelProtocol::WriteMemory(int address, const unsigned char* block) {
    return SendBlock(address, block, nullptr);
}

int QelProtocol::ReadMemoryCRC16(int address, unsigned int size, std::uint16_t& crc) {
    return FetchRangeCrc(static_cast<std::uint32_t>(address), size, &crc, nullptr);
}
