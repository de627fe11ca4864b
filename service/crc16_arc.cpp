#include "crc16_arc.h"

namespace service {

std::uint16_t Crc16Arc(const std::uint8_t* bytes, std::size_t count) {
    constexpr unsigned kReflectedPolynomial = 0xA001;
    unsigned crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

}  // namespace service
