// Request lines as a host would send them, for driving the device model from tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device_frame.h"
#include "hex_text.h"
#include "memory_record.h"
#include "wire_check.h"

namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline std::string RequestLine(std::uint8_t command, std::uint8_t id, const Bytes& payload = {}) {
    Bytes frame{0x5A, command, 0x7D, id};
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::uint16_t crc = qelsim::Crc16Arc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return qelsim::ToHexText(frame);
}

inline std::string WritePageLine(std::uint8_t id, std::uint32_t address, const Bytes& page) {
    return RequestLine(0x18, id,
                       qelsim::BuildRecord(address, 256, qelsim::LengthField::k16Bit, page));
}

inline std::string ReadPageLine(std::uint8_t id, std::uint32_t address) {
    return RequestLine(0x1A, id,
                       qelsim::BuildRecord(address, 256, qelsim::LengthField::k16Bit, {}));
}

inline std::string Crc16Line(std::uint8_t id, std::uint32_t address, std::uint32_t size) {
    return RequestLine(0x1C, id,
                       qelsim::BuildRecord(address, size, qelsim::LengthField::k32Bit, {}));
}

// The reply text without its CR, as bytes.
inline Bytes ReplyBytes(const std::string& wireText) {
    return *qelsim::FromHexText(std::string_view(wireText).substr(0, wireText.size() - 1));
}

// The 256-byte application image of the three data bytes "abc".
inline Bytes AbcImage() {
    Bytes image(256, 0x00);
    const Bytes head{0x5A, 0xFF, 0x00, 0xA5, 0x03, 0x00, 0x00, 0x00, 0x38, 0x97};
    std::copy(head.begin(), head.end(), image.begin());
    image[62] = 0x23;
    image[63] = 0xFE;
    image[64] = 'a';
    image[65] = 'b';
    image[66] = 'c';
    return image;
}

}  // namespace simtest
