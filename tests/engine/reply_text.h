// Builds the wire text a device would send: the frame's bytes, their CRC16 high byte first, the CR.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame_codec.h"

namespace reply_text {

using Bytes = std::vector<std::uint8_t>;

inline std::string Hex(const Bytes& bytes) {
    std::string text(2 * bytes.size(), '0');
    qel::codec::ConvertToHexString(text.data(), bytes.data(), static_cast<int>(bytes.size()));
    return text;
}

inline Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = qel::codec::Crc16(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return frame;
}

// The request text of frame (CRC appended), as the engine writes it before the CR.
inline std::string Request(const Bytes& frame) {
    return Hex(WithCrc(frame));
}

inline std::string Reply(const Bytes& frame) {
    return Hex(WithCrc(frame)) + "\r";
}

// The checksum byte that makes the record's bytes add up to 0xA5.
inline std::uint8_t Balance(const Bytes& record) {
    unsigned sum = 0;
    for (std::uint8_t b : record) {
        sum += b;
    }
    return static_cast<std::uint8_t>(0xA5 - sum);
}

inline void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

}  // namespace reply_text
