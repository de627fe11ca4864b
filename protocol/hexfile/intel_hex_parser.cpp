#include "hex_reader.h"
#include "intel_record_fields.h"

namespace {

enum IntelRecordType : std::uint8_t {
    kData = 0,
    kEndOfFile = 1,
    kExtendedSegmentAddress = 2,
    kStartSegmentAddress = 3,
    kExtendedLinearAddress = 4,
    kStartLinearAddress = 5,
};

// A short record counts its missing bytes as 0 rather than reading what a previous record
// left in the buffer.
std::int32_t ExtendedAddressOf(const unsigned char* data, unsigned count) {
    const unsigned high = count > 0 ? data[0] : 0u;
    const unsigned low = count > 1 ? data[1] : 0u;
    return static_cast<std::int32_t>(high << 8 | low);
}

}  // namespace

int HL_ParseIntelHexLine(const char* line, unsigned char* data, std::uint16_t* address,
                         std::uint16_t* count, int* endOfFile, void* context,
                         HL_MessageCallback onMessage) {
    *address = 0;
    *count = 0;
    *endOfFile = 0;
    HL_IntelRecordFields fields;
    if (HL_ReadIntelRecordHeader(line, &fields, context, onMessage) != 0) {
        return 1;
    }
    *address = fields.address;
    if (HL_ReadIntelRecordBody(line, fields, data, context, onMessage) != 0) {
        return 1;
    }
    *count = fields.count;
    switch (fields.type) {
        case kEndOfFile:
            *endOfFile = 1;
            *count = 0;
            break;
        case kExtendedSegmentAddress:
        case kExtendedLinearAddress:
            HL_SetExtendedAddress(ExtendedAddressOf(data, fields.count));
            HL_SetExtendedType(fields.type);
            *count = 0;
            break;
        case kStartSegmentAddress:
            *count = 0;
            break;
        case kStartLinearAddress:
            // Its own bytes still reach the record callback, which stores nothing while the
            // extended type is 5.
            HL_SetExtendedType(kStartLinearAddress);
            break;
        default:
            break;
    }
    return 0;
}
