// Replies of the device model, command by command, and what it does with malformed requests.
#include <gtest/gtest.h>

#include "case_name.h"
#include "device_model.h"
#include "wire_check.h"
#include "wire_text.h"

namespace {

using wire::Bytes;

Bytes Reply(qelsim::DeviceModel& device, const std::string& line) {
    const auto text = device.HandleRequest(line);
    EXPECT_TRUE(text.has_value()) << line;
    return text ? wire::FromHex(*text) : Bytes{};
}

// Every reply is framed the same way and sealed with a CRC16 that the host can check.
void ExpectSoundFrame(const Bytes& reply, std::uint8_t command, std::uint8_t id) {
    ASSERT_GE(reply.size(), 6U);
    EXPECT_EQ(reply[0], 0x5A);
    EXPECT_EQ(reply[1], static_cast<std::uint8_t>(command + 0x80));
    EXPECT_EQ(reply[2], 0x7D);
    EXPECT_EQ(reply[3], id);
    const std::uint16_t crc = wire::Crc16Arc(reply.data(), reply.size() - 2);
    EXPECT_EQ(reply[reply.size() - 2], crc >> 8);
    EXPECT_EQ(reply[reply.size() - 1], crc & 0xFF);
}

struct LengthCase {
    std::uint8_t command;
    Bytes payload;
    std::size_t replyLength;
};

class ReplyLength : public testing::TestWithParam<LengthCase> {};

TEST_P(ReplyLength, MatchesWhatTheHostReads) {
    qelsim::DeviceModel device;
    const Bytes reply = Reply(device, wire::Request(GetParam().command, 7, GetParam().payload));
    EXPECT_EQ(reply.size(), GetParam().replyLength);
    ExpectSoundFrame(reply, GetParam().command, 7);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, ReplyLength,
    testing::Values(LengthCase{0x02, {}, 40}, LengthCase{0x03, Bytes(34, 1), 7},
                    LengthCase{0x05, {}, 16 + 16}, LengthCase{0x06, {}, 22},
                    LengthCase{0x08, Bytes(16, 0), 7}, LengthCase{0x0A, {}, 7},
                    LengthCase{0x18, wire::Record({.address = 0, .length = 256}, 2, Bytes(256, 0)),
                               7},
                    LengthCase{0x1A, wire::Record({.address = 0, .length = 256}, 2, {}), 271},
                    LengthCase{0x1C, wire::Record({.address = 0, .length = 16}, 4, {}), 19},
                    LengthCase{0x01, {}, 99}, LengthCase{0x44, {}, 99}, LengthCase{0x90, {}, 99}),
    [](const testing::TestParamInfo<LengthCase>& tested) {
        return "Command" + wire::Hex({tested.param.command});
    });

TEST(DeviceCommands, ConfigurationWrittenIsReadBackWhole) {
    qelsim::DeviceModel device;
    Bytes block(34);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(0x40 + i);
    }
    EXPECT_EQ(Reply(device, wire::Request(0x03, 2, block))[4], 0x00);
    const Bytes reply = Reply(device, wire::Request(0x02, 3));
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 38), block);
}

TEST(DeviceCommands, ConfigurationOfTheWrongSizeIsRefused) {
    qelsim::DeviceModel device;
    const auto before = device.Configuration();
    EXPECT_EQ(Reply(device, wire::Request(0x03, 2, Bytes(33, 0)))[4], 0x01);
    EXPECT_EQ(device.Configuration(), before);
}

TEST(DeviceCommands, RawDataReplyCarriesItsCountBigEndian) {
    qelsim::DeviceOptions options;
    options.rawData.info = {9, 8, 7, 6, 5, 4};
    options.rawData.valueOffset = 0x10;
    options.rawData.encoding = 1;
    options.rawData.data = Bytes(0x123, 0xAB);
    qelsim::DeviceModel device(options);
    const Bytes reply = Reply(device, wire::Request(0x05, 4));
    ASSERT_EQ(reply.size(), 16U + 0x123);
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 10), Bytes({9, 8, 7, 6, 5, 4}));
    EXPECT_EQ(reply[10], 0x10);
    EXPECT_EQ(reply[11], 1);
    EXPECT_EQ(reply[12], 0x01);
    EXPECT_EQ(reply[13], 0x23);
    EXPECT_EQ(reply[14], 0xAB);
}

TEST(DeviceCommands, DataReplyCarriesThePayload) {
    qelsim::DeviceModel device;
    const Bytes reply = Reply(device, wire::Request(0x31, 5));
    const auto payload = qelsim::DefaultDataPayload();
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 97), Bytes(payload.begin(), payload.end()));
}

TEST(DeviceCommands, PageWrittenIsReadBack) {
    qelsim::DeviceModel device;
    Bytes page(256);
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<std::uint8_t>(i ^ 0x5C);
    }
    EXPECT_EQ(Reply(device, wire::WritePageRequest(2, 0x40100, page))[4], 0x00);
    const Bytes reply = Reply(device, wire::ReadPageRequest(3, 0x40100));
    EXPECT_EQ(reply[4], 0x00);
    EXPECT_EQ(reply[5], 0x5A);
    EXPECT_EQ(reply[6] | reply[7] << 8 | reply[8] << 16 | reply[9] << 24, 0x40100);
    EXPECT_EQ(reply[10] | reply[11] << 8, 256);
    EXPECT_EQ(qelsim::ByteSum({reply.data() + 5, 264}), 0xA5);
    EXPECT_EQ(Bytes(reply.begin() + 13, reply.begin() + 269), page);
}

TEST(DeviceCommands, Crc16OfNothingIsZero) {
    qelsim::DeviceModel device;
    const Bytes reply = Reply(device, wire::CrcRequest(2, 0x40000, 0));
    EXPECT_EQ(reply[4], 0x00);
    EXPECT_EQ(reply[15] | reply[16] << 8, 0);
}

TEST(DeviceCommands, Crc16ReplyEchoesAddressAndSize) {
    qelsim::DeviceModel device;
    const Bytes reply = Reply(device, wire::CrcRequest(2, 0x40000, 0x1234));
    EXPECT_EQ(reply[6] | reply[7] << 8 | reply[8] << 16 | reply[9] << 24, 0x40000);
    EXPECT_EQ(reply[10] | reply[11] << 8 | reply[12] << 16 | reply[13] << 24, 0x1234);
    const std::uint16_t expected = wire::Crc16Arc(Bytes(0x1234, 0xFF));
    EXPECT_EQ(reply[15] | reply[16] << 8, expected);
}

// Malformed or out-of-range memory requests: refused with status 1 in a reply of full length,
// and memory left as it was.
struct MalformedCase {
    const char* name;
    std::uint8_t command;
    Bytes payload;
    std::size_t replyLength;
};

Bytes Damaged(Bytes record, std::size_t at, std::uint8_t value) {
    record[at] = value;
    return record;
}

Bytes GoodWrite(std::uint32_t address) {
    return wire::Record({.address = address, .length = 256}, 2, Bytes(256, 0x11));
}

class MalformedMemoryRequest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedMemoryRequest, IsRefusedWithStatusOne) {
    qelsim::DeviceOptions options;
    options.memorySize = 0x50000;
    qelsim::DeviceModel device(options);
    const auto before = device.Memory();
    const Bytes reply = Reply(device, wire::Request(GetParam().command, 9, GetParam().payload));
    EXPECT_EQ(reply.size(), GetParam().replyLength);
    ExpectSoundFrame(reply, GetParam().command, 9);
    EXPECT_EQ(reply[4], 0x01);
    EXPECT_EQ(device.Memory(), before);
    EXPECT_EQ(device.Requests().back().status, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedMemoryRequest,
    testing::Values(
        MalformedCase{"WriteBadStart", 0x18, Damaged(GoodWrite(0x40000), 0, 0x5B), 7},
        MalformedCase{"WriteBadChecksum", 0x18, Damaged(GoodWrite(0x40000), 7, 0x00), 7},
        MalformedCase{"WriteWrongLength", 0x18,
                      wire::Record({.address = 0x40000, .length = 255}, 2, Bytes(256, 0x11)), 7},
        MalformedCase{"WriteShortData", 0x18,
                      wire::Record({.address = 0x40000, .length = 256}, 2, Bytes(255, 0x11)), 7},
        MalformedCase{"WritePastMemory", 0x18, GoodWrite(0x4FF01), 7},
        MalformedCase{"WriteAddressWraps", 0x18, GoodWrite(0xFFFFFF80), 7},
        MalformedCase{"WriteNoRecord", 0x18, {}, 7},
        MalformedCase{"ReadBadChecksum", 0x1A,
                      Damaged(wire::Record({.address = 0x40000, .length = 256}, 2, {}), 7, 0x47),
                      271},
        MalformedCase{"ReadPastMemory", 0x1A,
                      wire::Record({.address = 0x4FF01, .length = 256}, 2, {}), 271},
        MalformedCase{"ReadOtherLength", 0x1A,
                      wire::Record({.address = 0x40000, .length = 128}, 2, {}), 271},
        MalformedCase{"ReadNoRecord", 0x1A, {}, 271},
        MalformedCase{"CrcBadStart", 0x1C,
                      Damaged(wire::Record({.address = 0x40000, .length = 16}, 4, {}), 0, 0x00),
                      19},
        MalformedCase{"CrcPastMemory", 0x1C,
                      wire::Record({.address = 0x40000, .length = 0x10001}, 4, {}), 19},
        MalformedCase{"CrcNoRecord", 0x1C, Bytes{0x5A}, 19}),
    CaseName());

struct LineCase {
    const char* name;
    std::string line;
};

// Lines a device cannot read get no reply at all, but are still on record.
class UnreadableLine : public testing::TestWithParam<LineCase> {};

TEST_P(UnreadableLine, GetsNoReply) {
    qelsim::DeviceModel device;
    EXPECT_EQ(device.HandleRequest(GetParam().line), std::nullopt);
    ASSERT_EQ(device.Requests().size(), 1U);
    EXPECT_EQ(device.Requests()[0].faults, "unreadable");
    EXPECT_FALSE(device.Requests()[0].answered);
    EXPECT_EQ(device.ResetCount(), 0U);
}

// The frames with a wrong start byte or separator carry a correct CRC16.
INSTANTIATE_TEST_SUITE_P(
    Lines, UnreadableLine,
    testing::Values(LineCase{"WrongCrc", "5A0A7D024B93"}, LineCase{"OddDigitCount", "5A0A7D024B9"},
                    LineCase{"NotADigit", "5A0A7D024B9G"},
                    LineCase{"WrongStartByte", wire::Text({0x5B, 0x0A, 0x7D, 0x02})},
                    LineCase{"WrongSeparator", wire::Text({0x5A, 0x0A, 0x7C, 0x02})},
                    LineCase{"TooShort", "5A0A7D"},
                    LineCase{"OverlongLineAsTheAssemblerPassesIt", "?"},
                    LineCase{"StrayCharacter", " 5A0A7D024B92"}),
    CaseName());

}  // namespace
