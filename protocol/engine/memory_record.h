// The memory record inside page, memory and CRC16 transfers: the start byte 0x5A, the device
// address (32 bits), a length field (the 16-bit count of a block transfer, or the 32-bit size of
// a CRC16 range), the checksum and the content. Fields are little-endian, and all bytes of the
// record, checksum included, add up to 0xA5. Every command builds and checks it here.
// Internal to the library.
#pragma once

#include <cstdint>

namespace qel::record {

enum class LengthField { k16Bit = 2, k32Bit = 4 };

// Start byte, address, length field and checksum: everything in front of the content.
constexpr int HeaderBytes(LengthField field) {
    return 1 + 4 + static_cast<int>(field) + 1;
}

// Writes a record with contentBytes of content (none in a request that asks for the content) at
// out, its checksum balancing all the rest. Returns the record's length.
int PutRecord(unsigned char* out, std::uint32_t address, std::uint32_t length, LengthField field,
              const unsigned char* content, int contentBytes);

// Whether a received record echoes the address and length asked for, with the start byte, and
// adds up together with the contentBytes of content behind its header.
bool RecordMatches(const unsigned char* record, std::uint32_t address, std::uint32_t length,
                   LengthField field, int contentBytes);

inline const unsigned char* Content(const unsigned char* record, LengthField field) {
    return record + HeaderBytes(field);
}

}  // namespace qel::record
