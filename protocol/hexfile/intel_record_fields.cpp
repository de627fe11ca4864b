#include "intel_record_fields.h"

#include "hex_digits.h"
#include "reader_messages.h"

namespace {

constexpr int kCountPosition = 1;
constexpr int kAddressPosition = 3;
constexpr int kTypePosition = 7;
constexpr int kDataPosition = 9;

}  // namespace

int HL_ReadIntelRecordHeader(const char* line, HL_IntelRecordFields* fields, void* context,
                             HL_MessageCallback onMessage) {
    using namespace hexfile_messages;
    if (line[0] != ':') {
        return HL_Report(context, kNoColon, onMessage);
    }
    if (HL_HexByte(line + kCountPosition, &fields->count) != 0) {
        return HL_Report(context, kBadCount, onMessage);
    }
    if (HL_HexWord(line + kAddressPosition, &fields->address) != 0) {
        return HL_Report(context, kBadAddress, onMessage);
    }
    if (HL_HexByte(line + kTypePosition, &fields->type) != 0) {
        return HL_Report(context, kBadTypeField, onMessage);
    }
    if (fields->type > kIntelHighestType) {
        return HL_Report(context, kBadType, onMessage);
    }
    return 0;
}

int HL_ReadIntelRecordBody(const char* line, const HL_IntelRecordFields& fields,
                           unsigned char* data, void* context, HL_MessageCallback onMessage) {
    using namespace hexfile_messages;
    unsigned sum = fields.count + (fields.address >> 8) + (fields.address & 0xFFu) + fields.type;
    std::uint8_t checksum = 0;
    if (HL_ReadDataAndChecksum(line + kDataPosition, fields.count, data, &sum, &checksum, context,
                               onMessage) != 0) {
        return 1;
    }
    if (((sum + checksum) & 0xFFu) != 0) {
        return HL_Report(context, kChecksumMismatch, onMessage);
    }
    return 0;
}
