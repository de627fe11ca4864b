// The device's system clock: its byte layout, and that it runs on from whatever it was set to.
#include <gtest/gtest.h>

#include "device_model.h"
#include "wire_text.h"

namespace {

using namespace std::chrono;
using wire::Bytes;

// 2024-02-29 (a Thursday) 13:45:07.250 UTC.
const qelsim::WallTime kLeapDay = sys_days{2024y / February / 29} + 13h + 45min + 7s + 250ms;
const Bytes kLeapDayBlock{0xE8, 0x07, 2, 0, 4, 0, 29, 0, 13, 0, 45, 0, 7, 0, 0xFA, 0x00};

TEST(ClockBlock, EncodesEightLittleEndianFields) {
    const auto block = qelsim::EncodeClock(kLeapDay);
    EXPECT_EQ(Bytes(block.begin(), block.end()), kLeapDayBlock);
}

TEST(ClockBlock, DecodeIsTheInverse) {
    const auto block = qelsim::EncodeClock(kLeapDay);
    EXPECT_EQ(qelsim::DecodeClock(block), kLeapDay);
}

class InvalidClock : public testing::TestWithParam<std::pair<std::size_t, std::uint8_t>> {};

TEST_P(InvalidClock, IsNotATime) {
    auto block = qelsim::EncodeClock(kLeapDay);
    block[GetParam().first] = GetParam().second;
    EXPECT_EQ(qelsim::DecodeClock(block), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Fields, InvalidClock,
                         testing::Values(std::pair<std::size_t, std::uint8_t>{2, 13},  // month
                                         std::pair<std::size_t, std::uint8_t>{2, 0},
                                         std::pair<std::size_t, std::uint8_t>{6, 30},  // Feb 30
                                         std::pair<std::size_t, std::uint8_t>{8, 24},  // hour
                                         std::pair<std::size_t, std::uint8_t>{10, 60},
                                         std::pair<std::size_t, std::uint8_t>{12, 60},
                                         std::pair<std::size_t, std::uint8_t>{15, 0x04}),
                         [](const auto& tested) {
                             return "Byte" + std::to_string(tested.param.first) + "Is" +
                                    std::to_string(tested.param.second);
                         });

TEST(ClockBlock, DeviceClockRunsOnFromTheTimeWritten) {
    qelsim::WallTime host = sys_days{2030y / January / 1};
    qelsim::DeviceOptions options;
    options.clock = [&host] { return host; };
    qelsim::DeviceModel device(options);
    const auto first = wire::FromHex(*device.HandleRequest(wire::Request(0x06, 2)));
    const auto hostNow = qelsim::EncodeClock(host);
    EXPECT_EQ(Bytes(first.begin() + 4, first.begin() + 20), Bytes(hostNow.begin(), hostNow.end()));

    const auto reply = device.HandleRequest(wire::Request(0x08, 3, kLeapDayBlock));
    EXPECT_EQ(wire::FromHex(*reply)[4], 0);
    host += 90s;
    const auto later = wire::FromHex(*device.HandleRequest(wire::Request(0x06, 4)));
    const auto expected = qelsim::EncodeClock(kLeapDay + 90s);
    EXPECT_EQ(Bytes(later.begin() + 4, later.begin() + 20),
              Bytes(expected.begin(), expected.end()));
}

TEST(ClockBlock, InvalidTimeIsRefusedAndTheClockKept) {
    qelsim::WallTime host = kLeapDay;
    qelsim::DeviceOptions options;
    options.clock = [&host] { return host; };
    qelsim::DeviceModel device(options);
    const auto reply = device.HandleRequest(wire::Request(0x08, 2, Bytes(16, 0xFF)));
    EXPECT_EQ(wire::FromHex(*reply)[4], 1);
    const auto block = device.SystemTime();
    EXPECT_EQ(Bytes(block.begin(), block.end()), kLeapDayBlock);
}

}  // namespace
