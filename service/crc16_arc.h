// CRC-16/ARC, the CRC16 the device computes over its memory, for comparing with a local file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace service {

std::uint16_t Crc16Arc(const std::uint8_t* bytes, std::size_t count);

}  // namespace service
