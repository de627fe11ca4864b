// The line format: every frame byte as two hex digits, high nibble first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qelsim {

// Upper-case digits, no separators, no terminator.
std::string ToHexText(std::span<const std::uint8_t> bytes);

// Digits of either case; nullopt for an odd count or any other character.
std::optional<std::vector<std::uint8_t>> FromHexText(std::string_view text);

}  // namespace qelsim
