// The inner record of memory transfers: 'Z', 32-bit address, 16- or 32-bit length, checksum,
// content; all fields little-endian, and all bytes together add up to 0xA5.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qelsim {

enum class LengthField { k16Bit = 2, k32Bit = 4 };

struct MemoryRecord {
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    std::span<const std::uint8_t> content;
};

// The address and length fields alone, for the record of what arrived; nullopt when too short.
std::optional<MemoryRecord> PeekRecord(std::span<const std::uint8_t> payload, LengthField field);

// The whole record, checked: start byte, exact size (header plus contentSize) and sum.
std::optional<MemoryRecord> ParseRecord(std::span<const std::uint8_t> payload, LengthField field,
                                        std::size_t contentSize);

// A record with a checksum that makes it add up.
std::vector<std::uint8_t> BuildRecord(std::uint32_t address, std::uint32_t length,
                                      LengthField field, std::span<const std::uint8_t> content);

}  // namespace qelsim
