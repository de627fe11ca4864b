// The memory and data commands against the simulator's device model, with its faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "case_name.h"
#include "device_model.h"
#include "frame_codec.h"
#include "qel_protocol.h"
#include "sim_channel.h"

namespace {

constexpr int kBase = 0x40000;

std::array<unsigned char, 256> Pattern(unsigned char seed) {
    std::array<unsigned char, 256> block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<unsigned char>(seed * 7 + i * 13);
    }
    return block;
}

struct Bench {
    explicit Bench(qelsim::DeviceOptions options = {}) : device(std::move(options)) {}
    qelsim::DeviceModel device;
    SimChannel channel{device};
    QelProtocol protocol{&channel, 1, 1, nullptr};
};

TEST(MemoryCommandsOnDevice, WrittenBlocksReadBackAndTheirCrc16Matches) {
    Bench bench;
    const auto first = Pattern(1);
    const auto second = Pattern(2);
    ASSERT_EQ(bench.protocol.WriteMemory(kBase, first.data()), 0);
    ASSERT_EQ(bench.protocol.WriteMemory(kBase + 256, second.data()), 0);

    std::array<unsigned char, 256> back{};
    ASSERT_EQ(bench.protocol.ReadMemory(kBase + 256, back.data()), 0);
    EXPECT_EQ(back, second);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), bench.device.Memory().begin() + kBase));

    unsigned char both[512];
    std::memcpy(both, first.data(), 256);
    std::memcpy(both + 256, second.data(), 256);
    std::uint16_t crc = 0;
    ASSERT_EQ(bench.protocol.ReadMemoryCRC16(kBase, 512, crc), 0);
    EXPECT_EQ(crc, qel::codec::Crc16(both, 512));
}

// Which device fault a command meets, and what the command then returns.
struct DeviceFault {
    const char* name;
    void (*inject)(qelsim::DeviceOptions&);
    int expected;
};

class MemoryCommandsMeet : public ::testing::TestWithParam<DeviceFault> {};

TEST_P(MemoryCommandsMeet, AFaultAndKeepTheirOutputs) {
    for (int command = 0; command < 3; ++command) {
        qelsim::DeviceOptions options;
        GetParam().inject(options);
        Bench bench(options);
        std::array<unsigned char, 256> block;
        block.fill(0xEE);
        std::uint16_t crc = 0x5555;
        int result = 0;
        if (command == 0) {
            result = bench.protocol.ReadMemory(kBase, block.data());
        } else if (command == 1) {
            result = bench.protocol.WriteMemory(kBase, block.data());
        } else {
            result = bench.protocol.ReadMemoryCRC16(kBase, 256, crc);
        }
        EXPECT_EQ(result, GetParam().expected) << "command " << command;
        EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](auto b) { return b == 0xEE; }));
        EXPECT_EQ(crc, 0x5555);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MemoryCommandsMeet,
    ::testing::Values(
        DeviceFault{"Refusal", [](auto& o) { o.failStatusRequests = {1}; }, 5007},
        DeviceFault{"WrongId", [](auto& o) { o.wrongIdReplies = {1}; }, 5004},
        DeviceFault{"CorruptReply", [](auto& o) { o.corruptReplies = {1}; }, 5006},
        DeviceFault{"Silence", [](auto& o) { o.dropReplies = {1}; }, SimChannel::kTimeoutCode},
        DeviceFault{"AddressOutsideMemory", [](auto& o) { o.memorySize = 0x1000; }, 5007}),
    CaseName());

TEST(DataCommandsOnDevice, ReadDataWrapsTheReplyCodeOfHighCommandCodes) {
    Bench bench;
    bench.device.Options().dataPayload[0] = 0x42;
    _read_data_reply_data data{};
    ASSERT_EQ(bench.protocol.ReadData(&data, 0x90), 0);
    EXPECT_TRUE(std::equal(std::begin(data.bytes), std::end(data.bytes),
                           bench.device.Options().dataPayload.begin()));
    EXPECT_EQ(data.bytes[0], 0x42);
}

struct RawOnDevice {
    const char* name;
    std::uint8_t encoding;
    std::uint8_t offset;
    std::vector<std::uint8_t> data;
    int expected;
    std::vector<std::uint8_t> decoded;  // when expected is 0
};

class RawDataOnDevice : public ::testing::TestWithParam<RawOnDevice> {};

TEST_P(RawDataOnDevice, DecodesOrRefuses) {
    const RawOnDevice& c = GetParam();
    Bench bench;
    bench.device.Options().rawData.encoding = c.encoding;
    bench.device.Options().rawData.valueOffset = c.offset;
    bench.device.Options().rawData.data = c.data;
    std::array<unsigned char, 1024> out;
    out.fill(0xEE);
    std::uint16_t length = 0xABCD;
    ASSERT_EQ(bench.protocol.ReadRawData(out.data(), length), c.expected);
    if (c.expected == 0) {
        EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + length), c.decoded);
        EXPECT_TRUE(bench.channel.Pending().empty());
        return;
    }
    EXPECT_EQ(length, 0xABCD);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](auto b) { return b == 0xEE; }));
}

std::vector<std::uint8_t> Filled(std::size_t count, std::uint8_t value) {
    return std::vector<std::uint8_t>(count, value);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RawDataOnDevice,
    ::testing::Values(
        RawOnDevice{"EmptyPlain", 0, 0x10, {}, 0, {}},
        RawOnDevice{"EmptyDoubled", 1, 0x10, {}, 0, {}},
        RawOnDevice{"PlainIgnoresTheOffset", 0, 0x10, {0x01, 0x80}, 0, {0x01, 0x80}},
        RawOnDevice{"PlainFillsTheArray", 0, 0, Filled(1024, 0xC3), 0, Filled(1024, 0xC3)},
        RawOnDevice{"DoubledFillsTheArray", 1, 1, Filled(512, 0x80), 0, Filled(1024, 0x81)},
        RawOnDevice{"Doubled", 1, 0x10, {0x01, 0x80}, 0, {0x11, 0x90, 0x90}},
        RawOnDevice{"OffsetWraps", 1, 0x90, {0x7F}, 0, {0x0F}},
        RawOnDevice{"UnknownEncoding", 2, 0, {1, 2}, 5026, {}},
        RawOnDevice{"Announces1025", 0, 0, Filled(1025, 1), 5027, {}},
        RawOnDevice{"Announces65535", 0, 0, Filled(65535, 1), 5027, {}},
        RawOnDevice{"DoublesPast1024", 1, 0, Filled(1024, 0x80), 5027, {}}),
    CaseName());

TEST(DataCommandsOnDevice, AnOversizedRawReplyIsDrainedAndTheNextCommandWorks) {
    Bench bench;
    bench.device.Options().rawData.data = Filled(65535, 0x33);
    unsigned char out[1024];
    std::uint16_t length = 0;
    ASSERT_EQ(bench.protocol.ReadRawData(out, length), 5027);
    EXPECT_TRUE(bench.channel.Pending().empty());
    _qel_system_time clock{};
    EXPECT_EQ(bench.protocol.ReadSystemTime(&clock), 0);
}

}  // namespace
