// What the boot loader does after a reset: decide whether the application image at 0x40000 may
// be started.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qelsim {

inline constexpr std::uint32_t kApplicationAddress = 0x40000;
inline constexpr std::size_t kImageHeaderSize = 64;

// "boot ok", or "boot failed: " and the first reason found.
std::string CheckApplicationImage(std::span<const std::uint8_t> memory);

}  // namespace qelsim
