// Hex readers of the line parsers: upper or lower case digits, most significant digit first.
// Each returns 0 and the value, or 1 for a character that is no hex digit. A reader of several
// characters stops at the first bad one, so it never reads past the NUL that ends a line.
#pragma once

#include <array>
#include <cstdint>

namespace hexfile_detail {

inline constexpr std::uint8_t kNoDigit = 0xFF;

constexpr std::array<std::uint8_t, 256> MakeDigitTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) {
        entry = kNoDigit;
    }
    for (int digit = 0; digit < 10; ++digit) {
        table['0' + digit] = static_cast<std::uint8_t>(digit);
    }
    for (int digit = 0; digit < 6; ++digit) {
        table['A' + digit] = static_cast<std::uint8_t>(10 + digit);
        table['a' + digit] = static_cast<std::uint8_t>(10 + digit);
    }
    return table;
}

inline constexpr std::array<std::uint8_t, 256> kDigitValues = MakeDigitTable();

}  // namespace hexfile_detail

inline int HL_HexDigit(char character, std::uint8_t* value) {
    const std::uint8_t digit = hexfile_detail::kDigitValues[static_cast<unsigned char>(character)];
    if (digit == hexfile_detail::kNoDigit) {
        return 1;
    }
    *value = digit;
    return 0;
}

inline int HL_HexByte(const char* text, std::uint8_t* value) {
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    if (HL_HexDigit(text[0], &high) != 0 || HL_HexDigit(text[1], &low) != 0) {
        return 1;
    }
    *value = static_cast<std::uint8_t>(high << 4 | low);
    return 0;
}

inline int HL_HexWord(const char* text, std::uint16_t* value) {
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    if (HL_HexByte(text, &high) != 0 || HL_HexByte(text + 2, &low) != 0) {
        return 1;
    }
    *value = static_cast<std::uint16_t>(high << 8 | low);
    return 0;
}
