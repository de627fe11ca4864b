// Numbers and byte blocks as an operator types them and as they are shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace service {

// "0x" or "0X" and hex digits, or decimal digits; nothing else, no sign, at most 32 bits.
std::optional<std::uint32_t> ParseNumber(const std::string& text);

// Exactly 2 * count hex digits in either case, no separators.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text, std::size_t count);

// Two uppercase hex digits per byte.
std::string HexBytes(const std::uint8_t* bytes, std::size_t count);

}  // namespace service
