// The two integrity checks of the device: the frame CRC16 (CRC-16/ARC) and the additive checksum of
// a memory record. Computed bit by bit on purpose, independently of any host-side table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qelsim {

// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final XOR.
std::uint16_t Crc16Arc(std::span<const std::uint8_t> bytes);

// Sum of the bytes modulo 256; a memory record is sound when its bytes add up to 0xA5.
std::uint8_t ByteSum(std::span<const std::uint8_t> bytes);

inline constexpr std::uint8_t kRecordSum = 0xA5;

// The checksum byte that makes record plus checksum add up to 0xA5.
inline std::uint8_t RecordChecksum(std::span<const std::uint8_t> otherBytes) {
    return static_cast<std::uint8_t>(kRecordSum - ByteSum(otherBytes));
}

}  // namespace qelsim
