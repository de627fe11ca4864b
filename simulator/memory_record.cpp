#include "memory_record.h"

#include "wire_check.h"

namespace qelsim {
namespace {

constexpr std::uint8_t kRecordStart = 0x5A;

std::size_t HeaderSize(LengthField field) {
    return 1 + 4 + static_cast<std::size_t>(field) + 1;  // start, address, length, checksum
}

std::uint32_t LittleEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        value = value << 8 | bytes[i];
    }
    return value;
}

void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

}  // namespace

std::optional<MemoryRecord> PeekRecord(std::span<const std::uint8_t> payload, LengthField field) {
    const std::size_t width = static_cast<std::size_t>(field);
    if (payload.size() < 5 + width) {
        return std::nullopt;
    }
    return MemoryRecord{LittleEndian(payload.subspan(1, 4)),
                        LittleEndian(payload.subspan(5, width)), payload.subspan(5 + width)};
}

std::optional<MemoryRecord> ParseRecord(std::span<const std::uint8_t> payload, LengthField field,
                                        std::size_t contentSize) {
    const std::size_t header = HeaderSize(field);
    if (payload.size() != header + contentSize || payload[0] != kRecordStart ||
        ByteSum(payload) != kRecordSum) {
        return std::nullopt;
    }
    auto record = PeekRecord(payload, field);
    record->content = payload.subspan(header);
    return record;
}

std::vector<std::uint8_t> BuildRecord(std::uint32_t address, std::uint32_t length,
                                      LengthField field, std::span<const std::uint8_t> content) {
    std::vector<std::uint8_t> record{kRecordStart};
    AppendLittleEndian(record, address, 4);
    AppendLittleEndian(record, length, static_cast<std::size_t>(field));
    const std::size_t checksumAt = record.size();
    record.push_back(0);
    record.insert(record.end(), content.begin(), content.end());
    record[checksumAt] = RecordChecksum(record);  // the zero placeholder adds nothing
    return record;
}

}  // namespace qelsim
