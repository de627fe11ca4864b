#include "clock_block.h"

namespace qelsim {
namespace {

using namespace std::chrono;

void PutField(ClockBlockBytes& block, std::size_t field, unsigned value) {
    block[field * 2] = static_cast<std::uint8_t>(value & 0xFF);
    block[field * 2 + 1] = static_cast<std::uint8_t>(value >> 8);
}

unsigned GetField(std::span<const std::uint8_t, kClockBlockSize> bytes, std::size_t field) {
    return static_cast<unsigned>(bytes[field * 2] | (bytes[field * 2 + 1] << 8));
}

enum Field : std::size_t { kYear, kMonth, kWeekday, kDay, kHour, kMinute, kSecond, kMillisecond };

}  // namespace

ClockBlockBytes EncodeClock(WallTime time) {
    const auto day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{floor<milliseconds>(time - day)};
    ClockBlockBytes block{};
    PutField(block, kYear, static_cast<unsigned>(static_cast<int>(date.year())));
    PutField(block, kMonth, static_cast<unsigned>(date.month()));
    PutField(block, kWeekday, weekday{day}.c_encoding());
    PutField(block, kDay, static_cast<unsigned>(date.day()));
    PutField(block, kHour, static_cast<unsigned>(clock.hours().count()));
    PutField(block, kMinute, static_cast<unsigned>(clock.minutes().count()));
    PutField(block, kSecond, static_cast<unsigned>(clock.seconds().count()));
    PutField(block, kMillisecond, static_cast<unsigned>(clock.subseconds().count()));
    return block;
}

std::optional<WallTime> DecodeClock(std::span<const std::uint8_t, kClockBlockSize> bytes) {
    const year_month_day date{year{static_cast<int>(GetField(bytes, kYear))},
                              month{GetField(bytes, kMonth)}, day{GetField(bytes, kDay)}};
    const unsigned hour = GetField(bytes, kHour);
    const unsigned minute = GetField(bytes, kMinute);
    const unsigned second = GetField(bytes, kSecond);
    const unsigned millisecond = GetField(bytes, kMillisecond);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59 || millisecond > 999) {
        return std::nullopt;
    }
    // The wall clock counts in units that overflow a few centuries from 1970, and so would the
    // offset to the host's clock; a year outside this window is refused, not wrapped.
    if (date.year() < year{1900} || date.year() > year{2199}) {
        return std::nullopt;
    }
    // The day of week is derived from the date; a device ignores what the host says it is.
    return sys_days{date} + hours{hour} + minutes{minute} + seconds{second} +
           milliseconds{millisecond};
}

bool DeviceClock::Set(std::span<const std::uint8_t, kClockBlockSize> bytes, WallTime hostNow) {
    const auto time = DecodeClock(bytes);
    if (!time) {
        return false;
    }
    m_offset = *time - hostNow;
    return true;
}

}  // namespace qelsim
