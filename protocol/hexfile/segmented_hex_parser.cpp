#include "hex_reader.h"
#include "intel_record_fields.h"

namespace {

constexpr std::uint8_t kEndOfFile = 1;
constexpr std::uint8_t kExtendedSegmentAddress = 2;

// Every data byte is shifted in from the right, then the paragraph number becomes an address.
// Unsigned arithmetic: an overlong record wraps instead of overflowing.
std::int32_t SegmentBaseOf(const unsigned char* data, unsigned count) {
    std::uint32_t base = 0;
    for (unsigned index = 0; index < count; ++index) {
        base = base << 8 | data[index];
    }
    return static_cast<std::int32_t>(base << 4);
}

}  // namespace

int HL_ParseSegmentedHexLine(const char* line, unsigned char* data, std::uint32_t* address,
                             std::uint32_t* count, int* endOfFile, void* context,
                             HL_MessageCallback onMessage) {
    *address = 0;
    *count = 0;
    *endOfFile = 0;
    HL_IntelRecordFields fields;
    if (HL_ReadIntelRecordHeader(line, &fields, context, onMessage) != 0) {
        return 1;
    }
    *address = fields.address;
    if (fields.type == kExtendedSegmentAddress) {
        HL_SetSegmentBase(0);
    }
    if (HL_ReadIntelRecordBody(line, fields, data, context, onMessage) != 0) {
        return 1;
    }
    *count = fields.count;
    if (fields.type == kEndOfFile) {
        *endOfFile = 1;
    } else if (fields.type >= kExtendedSegmentAddress) {
        if (fields.type == kExtendedSegmentAddress) {
            HL_SetSegmentBase(SegmentBaseOf(data, fields.count));
        }
        *count = 0;
    }
    *address += static_cast<std::uint32_t>(HL_GetSegmentBase());
    return 0;
}
