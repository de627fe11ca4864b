// What the device must hold after a download, worked out independently of the library: a small
// Intel HEX reader and the application image layout (64-byte header, data, zero fill to whole
// pages).
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "wire_text.h"

namespace expected {

struct Firmware {
    std::vector<std::uint8_t> image = std::vector<std::uint8_t>(0x80000, 0xFF);
    std::uint32_t first = 0xFFFFFFFF;
    std::uint32_t end = 0;
};

// Types 0, 1, 2 and 4 only, which is what the sample files use.
inline std::optional<Firmware> ReadHex(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        return std::nullopt;
    }
    Firmware firmware;
    std::uint32_t base = 0;
    std::string line;
    auto byteAt = [&line](std::size_t position) {
        return static_cast<std::uint8_t>(std::stoul(line.substr(position, 2), nullptr, 16));
    };
    while (std::getline(in, line)) {
        if (line.empty() || line[0] != ':') {
            continue;
        }
        const std::uint8_t count = byteAt(1);
        const std::uint32_t address = byteAt(3) * 256u + byteAt(5);
        const std::uint8_t type = byteAt(7);
        if (type == 1) {
            return firmware;
        }
        if (type == 2 || type == 4) {
            const std::uint32_t value = byteAt(9) * 256u + byteAt(11);
            base = type == 2 ? value * 16 : value << 16;
            continue;
        }
        if (type != 0) {
            continue;
        }
        for (std::uint8_t i = 0; i < count; ++i) {
            firmware.image.at(base + address + i) = byteAt(9 + 2u * i);
        }
        firmware.first = std::min(firmware.first, base + address);
        firmware.end = std::max(firmware.end, base + address + count);
    }
    return std::nullopt;
}

inline std::vector<std::uint8_t> ApplicationImage(const Firmware& firmware) {
    const std::uint32_t length = firmware.end - firmware.first;
    const std::size_t size = 256 * ((length + 64) / 256 + 1);
    std::vector<std::uint8_t> image(size, 0);
    for (std::uint32_t i = 0; i < length; ++i) {
        image[64 + i] = firmware.image[firmware.first + i];
    }
    const std::uint8_t magic[4] = {0x5A, 0xFF, 0x00, 0xA5};
    for (int i = 0; i < 4; ++i) {
        image[i] = magic[i];
        image[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
    const std::uint16_t dataCrc = wire::Crc16Arc(image.data() + 64, length);
    image[8] = static_cast<std::uint8_t>(dataCrc);
    image[9] = static_cast<std::uint8_t>(dataCrc >> 8);
    const std::uint16_t headerCrc = wire::Crc16Arc(image.data(), 62);
    image[62] = static_cast<std::uint8_t>(headerCrc);
    image[63] = static_cast<std::uint8_t>(headerCrc >> 8);
    return image;
}

// The worked example: the application image of the three data bytes "abc".
inline std::vector<std::uint8_t> AbcImage() {
    std::vector<std::uint8_t> image(256, 0x00);
    const std::vector<std::uint8_t> head{0x5A, 0xFF, 0x00, 0xA5, 0x03,
                                         0x00, 0x00, 0x00, 0x38, 0x97};
    std::copy(head.begin(), head.end(), image.begin());
    image[62] = 0x23;
    image[63] = 0xFE;
    image[64] = 'a';
    image[65] = 'b';
    image[66] = 'c';
    return image;
}

}  // namespace expected
