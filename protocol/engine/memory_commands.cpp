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

// How the record of a fetching request is laid out, and what a reply whose record does not echo
// the request gives.
struct FetchKind {
    LengthField field;
    int mismatch;
};

FetchKind KindOf(unsigned char command) {
    return command == qel::kCmdReadMemoryCrc16
               ? FetchKind{LengthField::k32Bit, qel::kErrCrcRecord}
               : FetchKind{LengthField::k16Bit, qel::kErrReadRecord};
}

}  // namespace

void QelProtocol::BuildBlockFrame(unsigned char* frame, int address, const unsigned char* block) {
    BeginFrame(frame, qel::kCmdWriteMemory);
    qel::record::PutRecord(frame + kHeaderLength, static_cast<std::uint32_t>(address), kPageBytes,
                           LengthField::k16Bit, block, kPageBytes);
}

int QelProtocol::SendBlock(int address, const unsigned char* block, const char* reportedName) {
    unsigned char frame[kBlockWriteRequestBytes];
    BuildBlockFrame(frame, address, block);
    unsigned char reply[kStatusReplyBytes + 1];
    return StatusExchange(frame, kBlockWriteRequestBytes, reply, kStatusReplyBytes, reportedName);
}

// A refusing device owes no valid record, so the status decides first.
int QelProtocol::FetchRecordContent(unsigned char command, std::uint32_t address,
                                    std::uint32_t length, unsigned char* content, int contentBytes,
                                    const char* reportedName) {
    const FetchKind kind = KindOf(command);
    const int recordHeader = qel::record::HeaderBytes(kind.field);
    const int frameLength = kHeaderLength + recordHeader + kCrcLength;
    const int replyLength = kReplyRecordOffset + recordHeader + contentBytes + kCrcLength;
    unsigned char frame[kLongestFetchRequestBytes];
    BeginFrame(frame, command);
    qel::record::PutRecord(frame + kHeaderLength, address, length, kind.field, nullptr, 0);
    unsigned char reply[kLongestFixedReplyBytes + 1];
    const int result = StatusExchange(frame, frameLength, reply, replyLength, reportedName);
    if (result != qel::kOk) {
        return result;
    }
    const unsigned char* record = reply + kReplyRecordOffset;
    if (!qel::record::RecordMatches(record, address, length, kind.field, contentBytes)) {
        return kind.mismatch;
    }
    std::memcpy(content, qel::record::Content(record, kind.field),
                static_cast<std::size_t>(contentBytes));
    return qel::kOk;
}

int QelProtocol::FetchRangeCrc(std::uint32_t address, std::uint32_t size, std::uint16_t* crc,
                               const char* reportedName) {
    unsigned char content[kRangeCrcBytes];
    const int result = FetchRecordContent(qel::kCmdReadMemoryCrc16, address, size, content,
                                          kRangeCrcBytes, reportedName);
    if (result == qel::kOk) {
        // Inside the record the CRC is little-endian, unlike the frame's own CRC16.
        *crc = qel::codec::GetLittleEndian16(content);
    }
    return result;
}

int QelProtocol::ReadMemory(int address, unsigned char* block) {
    return FetchRecordContent(qel::kCmdReadMemory, static_cast<std::uint32_t>(address), kPageBytes,
                              block, kPageBytes, nullptr);
}

int QelProtocol::WriteMemory(int address, const unsigned char* block) {
    return SendBlock(address, block, nullptr);
}

int QelProtocol::ReadMemoryCRC16(int address, unsigned int size, std::uint16_t& crc) {
    return FetchRangeCrc(static_cast<std::uint32_t>(address), size, &crc, nullptr);
}
