// Where the device keeps the application image and how the upgrade sequence cuts it into pages.
// Internal to the library.
#pragma once

#include <cstdint>

namespace qel::layout {

// The device stores byte 0 of the application image here; the header page is the page at it.
inline constexpr std::uint32_t kImageBase = 0x40000;
inline constexpr int kPageBytes = 256;
// The application image header in front of the firmware data.
inline constexpr int kHeaderBytes = 64;
// The firmware image that the loader fills, indexed by device address.
inline constexpr int kFirmwareImageBytes = 0x80000;

}  // namespace qel::layout
