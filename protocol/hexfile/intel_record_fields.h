// The fields that the Intel HEX parser and the segmented parser share: the line is read in two
// steps so that the segmented parser can act on the record type before the data bytes.
#pragma once

#include <cstdint>

#include "hex_reader.h"

struct HL_IntelRecordFields {
    std::uint8_t count = 0;
    std::uint16_t address = 0;
    std::uint8_t type = 0;
};

inline constexpr std::uint8_t kIntelHighestType = 5;

// ":" , count, address and a known type. Returns 0, or 1 after the message of the first fault.
int HL_ReadIntelRecordHeader(const char* line, HL_IntelRecordFields* fields, void* context,
                             HL_MessageCallback onMessage);

// The count's data bytes into data and the checksum, which must make all bytes of the line add
// up to 0. Returns 0, or 1 after the message of the first fault.
int HL_ReadIntelRecordBody(const char* line, const HL_IntelRecordFields& fields,
                           unsigned char* data, void* context, HL_MessageCallback onMessage);
