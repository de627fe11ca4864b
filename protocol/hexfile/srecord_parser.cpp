#include "hex_digits.h"
#include "hex_reader.h"
#include "reader_messages.h"

namespace {

constexpr int kKindPosition = 1;
constexpr int kCountPosition = 2;
constexpr int kAddressPosition = 4;
constexpr int kDataPosition = 8;
// The count covers the two address bytes and the checksum besides the data.
constexpr unsigned kCountOverhead = 3;

}  // namespace

int HL_ParseSRecordLine(const char* line, unsigned char* data, std::uint16_t* address,
                        std::uint16_t* count, int* endOfFile, void* context,
                        HL_MessageCallback onMessage) {
    using namespace hexfile_messages;
    *address = 0;
    *count = 0;
    *endOfFile = 0;
    if (line[0] != 'S') {
        return HL_Report(context, kNoS, onMessage);
    }
    const char kind = line[kKindPosition];
    if (kind != '1' && kind != '9') {
        return HL_Report(context, kBadType, onMessage);
    }
    std::uint8_t byteCount = 0;
    if (HL_HexByte(line + kCountPosition, &byteCount) != 0 || byteCount < kCountOverhead) {
        return HL_Report(context, kBadCount, onMessage);
    }
    if (HL_HexWord(line + kAddressPosition, address) != 0) {
        return HL_Report(context, kBadAddress, onMessage);
    }
    const unsigned dataCount = byteCount - kCountOverhead;
    unsigned sum = byteCount + (*address >> 8) + (*address & 0xFFu);
    std::uint8_t checksum = 0;
    if (HL_ReadDataAndChecksum(line + kDataPosition, dataCount, data, &sum, &checksum, context,
                               onMessage) != 0) {
        return 1;
    }
    *count = static_cast<std::uint16_t>(dataCount);
    if (((~sum) & 0xFFu) != checksum) {
        return HL_Report(context, kChecksumMismatch, onMessage);
    }
    *endOfFile = kind == '9' ? 1 : 0;
    return 0;
}
