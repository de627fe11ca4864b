// The device's 16-byte system clock: eight little-endian 16-bit fields, year, month, day of week
// (0 = Sunday), day, hour, minute, second, millisecond, in UTC. It runs with the host clock from
// the moment it was last set.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

namespace qelsim {

inline constexpr std::size_t kClockBlockSize = 16;
using ClockBlockBytes = std::array<std::uint8_t, kClockBlockSize>;
using WallTime = std::chrono::system_clock::time_point;

ClockBlockBytes EncodeClock(WallTime time);
// nullopt when a field is out of its range (month 13, minute 60, a 31st of April ...).
std::optional<WallTime> DecodeClock(std::span<const std::uint8_t, kClockBlockSize> bytes);

class DeviceClock {
  public:
    ClockBlockBytes Read(WallTime hostNow) const { return EncodeClock(hostNow + m_offset); }
    // False (and the clock unchanged) when the block is not a valid time.
    bool Set(std::span<const std::uint8_t, kClockBlockSize> bytes, WallTime hostNow);

  private:
    std::chrono::system_clock::duration m_offset{};
};

}  // namespace qelsim
