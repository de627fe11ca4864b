#include "big_hex_file.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::uint32_t kFirstAddress = 0x3000;
// The image's last byte never takes data, so the last record holds 15 bytes.
constexpr std::uint32_t kEndAddress = 0x7FFFF;
constexpr std::uint32_t kRecordSize = 16;

void AppendRecord(std::string& text, unsigned type, std::uint32_t address,
                  const std::uint8_t* bytes, unsigned count) {
    unsigned sum = count + (address >> 8 & 0xFF) + (address & 0xFF) + type;
    char field[16];
    std::snprintf(field, sizeof field, ":%02X%04X%02X", count, address & 0xFFFF, type);
    text += field;
    for (unsigned index = 0; index < count; ++index) {
        std::snprintf(field, sizeof field, "%02X", bytes[index]);
        text += field;
        sum += bytes[index];
    }
    std::snprintf(field, sizeof field, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    text += field;
}

}  // namespace

std::string MakeBigHexText() {
    std::string text;
    std::uint8_t bytes[kRecordSize];
    for (std::uint32_t address = kFirstAddress; address < kEndAddress; address += kRecordSize) {
        if (address % 0x10000 == 0 || address == kFirstAddress) {
            const std::uint8_t window[2] = {0, static_cast<std::uint8_t>(address >> 16)};
            AppendRecord(text, 4, 0, window, 2);
        }
        const unsigned count =
            address + kRecordSize > kEndAddress ? kEndAddress - address : kRecordSize;
        for (unsigned index = 0; index < count; ++index) {
            bytes[index] = static_cast<std::uint8_t>((address + index) * 7 >> 3);
        }
        AppendRecord(text, 0, address, bytes, count);
    }
    AppendRecord(text, 1, 0, nullptr, 0);
    return text;
}
