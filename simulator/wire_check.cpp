#include "wire_check.h"

namespace qelsim {

std::uint16_t Crc16Arc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            const bool lowBitSet = (crc & 1U) != 0;
            crc = static_cast<std::uint16_t>(crc >> 1);
            if (lowBitSet) {
                crc ^= 0xA001;
            }
        }
    }
    return crc;
}

std::uint8_t ByteSum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    return static_cast<std::uint8_t>(sum);
}

}  // namespace qelsim
