// Clock values written to the device whose year the wall clock cannot hold: they are refused
// like any other impossible date, with no arithmetic overflow on the way (found by fuzzing).
#include <gtest/gtest.h>

#include <chrono>

#include "clock_block.h"

namespace {

using namespace std::chrono;

const qelsim::WallTime kNow = sys_days{2026y / December / 8} + 2h;

qelsim::ClockBlockBytes BlockOfYear(unsigned value) {
    auto block = qelsim::EncodeClock(kNow);
    block[0] = static_cast<std::uint8_t>(value & 0xFF);
    block[1] = static_cast<std::uint8_t>(value >> 8);
    return block;
}

class ClockYear : public testing::TestWithParam<unsigned> {};

TEST_P(ClockYear, FarYearIsRefusedAndLeavesTheClock) {
    qelsim::DeviceClock clock;
    EXPECT_EQ(qelsim::DecodeClock(BlockOfYear(GetParam())), std::nullopt);
    EXPECT_FALSE(clock.Set(BlockOfYear(GetParam()), kNow));
    EXPECT_EQ(clock.Read(kNow), qelsim::EncodeClock(kNow));
}

INSTANTIATE_TEST_SUITE_P(OutsideTheWallClock, ClockYear,
                         testing::Values(0u, 1000u, 1677u, 1899u, 2200u, 2263u, 32767u, 65535u),
                         [](const testing::TestParamInfo<unsigned>& tested) {
                             return "Year" + std::to_string(tested.param);
                         });

TEST(ClockYear, YearsAtTheEdgesOfTheWindowAreKept) {
    for (const unsigned value : {1900u, 2199u}) {
        qelsim::DeviceClock clock;
        const auto written = qelsim::DecodeClock(BlockOfYear(value));
        ASSERT_TRUE(written.has_value()) << value;
        EXPECT_TRUE(clock.Set(BlockOfYear(value), kNow)) << value;
        // The day of week comes from the date, not from what was written.
        EXPECT_EQ(clock.Read(kNow), qelsim::EncodeClock(*written)) << value;
    }
}

}  // namespace
