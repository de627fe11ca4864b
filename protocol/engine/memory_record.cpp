#include "memory_record.h"

#include <cstring>

#include "frame_codec.h"

namespace qel::record {
namespace {

using namespace qel::codec;

constexpr int kAddressOffset = 1;
constexpr int kLengthOffset = 5;

void PutLength(unsigned char* out, std::uint32_t length, LengthField field) {
    for (int i = 0; i < static_cast<int>(field); ++i) {
        out[i] = static_cast<unsigned char>(length >> (8 * i));
    }
}

std::uint32_t GetLength(const unsigned char* in, LengthField field) {
    return field == LengthField::k16Bit ? GetLittleEndian16(in) : GetLittleEndian32(in);
}

}  // namespace

int PutRecord(unsigned char* out, std::uint32_t address, std::uint32_t length, LengthField field,
              const unsigned char* content, int contentBytes) {
    const int header = HeaderBytes(field);
    out[0] = kStartByte;
    PutLittleEndian32(out + kAddressOffset, address);
    PutLength(out + kLengthOffset, length, field);
    out[header - 1] = 0;
    if (contentBytes > 0) {
        std::memcpy(out + header, content, static_cast<std::size_t>(contentBytes));
    }
    const int recordBytes = header + contentBytes;
    // With the checksum byte still 0 this makes the whole record add up to the seed.
    out[header - 1] = Crc8(out, recordBytes, kRecordSeed);
    return recordBytes;
}

bool RecordMatches(const unsigned char* record, std::uint32_t address, std::uint32_t length,
                   LengthField field, int contentBytes) {
    return record[0] == kStartByte && GetLittleEndian32(record + kAddressOffset) == address &&
           GetLength(record + kLengthOffset, field) == length &&
           ByteSum(record, HeaderBytes(field) + contentBytes) == kRecordSeed;
}

}  // namespace qel::record
