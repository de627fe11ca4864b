#include "boot_check.h"

#include <cstdio>

#include "wire_check.h"

namespace qelsim {
namespace {

std::uint32_t LittleEndian32(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::uint16_t LittleEndian16(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string Failed(const std::string& reason) {
    return "boot failed: " + reason;
}

}  // namespace

std::string CheckApplicationImage(std::span<const std::uint8_t> memory) {
    if (memory.size() < kApplicationAddress + kImageHeaderSize) {
        return Failed("memory ends before the application image header");
    }
    const auto image = memory.subspan(kApplicationAddress);
    const auto header = image.first(kImageHeaderSize);
    if (LittleEndian32(header) != 0xA500FF5AU) {
        return Failed("no application image (magic is " + Hex(LittleEndian32(header), 8) + ")");
    }
    const std::uint16_t headerCrc = Crc16Arc(header.first(62));
    if (LittleEndian16(header.subspan(62)) != headerCrc) {
        return Failed("header CRC16 is " + Hex(headerCrc, 4) + ", the header holds " +
                      Hex(LittleEndian16(header.subspan(62)), 4));
    }
    const std::uint32_t length = LittleEndian32(header.subspan(4));
    if (length > image.size() - kImageHeaderSize) {
        return Failed("image length " + std::to_string(length) + " runs past the end of memory");
    }
    const std::uint16_t dataCrc = Crc16Arc(image.subspan(kImageHeaderSize, length));
    if (LittleEndian16(header.subspan(8)) != dataCrc) {
        return Failed("data CRC16 is " + Hex(dataCrc, 4) + ", the header holds " +
                      Hex(LittleEndian16(header.subspan(8)), 4));
    }
    return "boot ok";
}

}  // namespace qelsim
