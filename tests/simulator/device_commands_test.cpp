// Replies of the device model, command by command, and what it does with malformed requests.
#include <gtest/gtest.h>

#include "device_model.h"
#include "request_builder.h"

namespace {

using simtest::Bytes;
using simtest::ReplyBytes;
using simtest::RequestLine;

Bytes Reply(qelsim::DeviceModel& device, const std::string& line) {
    const auto text = device.HandleRequest(line);
    EXPECT_TRUE(text.has_value()) << line;
    return text ? ReplyBytes(*text) : Bytes{};
}

// Every reply is framed the same way and sealed with a CRC16 that the host can check.
void ExpectSoundFrame(const Bytes& reply, std::uint8_t command, std::uint8_t id) {
    ASSERT_GE(reply.size(), 6U);
    EXPECT_EQ(reply[0], 0x5A);
    EXPECT_EQ(reply[1], static_cast<std::uint8_t>(command + 0x80));
    EXPECT_EQ(reply[2], 0x7D);
    EXPECT_EQ(reply[3], id);
    const std::uint16_t crc = qelsim::Crc16Arc({reply.data(), reply.size() - 2});
    EXPECT_EQ(reply[reply.size() - 2], crc >> 8);
    EXPECT_EQ(reply[reply.size() - 1], crc & 0xFF);
}

struct LengthCase {
    std::uint8_t command;
    Bytes payload;
    std::size_t replyLength;
};

void PrintTo(const LengthCase& c, std::ostream* out) {
    *out << "command " << int(c.command);
}

class ReplyLength : public testing::TestWithParam<LengthCase> {};

TEST_P(ReplyLength, MatchesWhatTheHostReads) {
    qelsim::DeviceModel device;
    const Bytes reply = Reply(device, RequestLine(GetParam().command, 7, GetParam().payload));
    EXPECT_EQ(reply.size(), GetParam().replyLength);
    ExpectSoundFrame(reply, GetParam().command, 7);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, ReplyLength,
    testing::Values(
        LengthCase{0x02, {}, 40}, LengthCase{0x03, Bytes(34, 1), 7}, LengthCase{0x05, {}, 16 + 16},
        LengthCase{0x06, {}, 22}, LengthCase{0x08, Bytes(16, 0), 7}, LengthCase{0x0A, {}, 7},
        LengthCase{0x18, qelsim::BuildRecord(0, 256, qelsim::LengthField::k16Bit, Bytes(256, 0)),
                   7},
        LengthCase{0x1A, qelsim::BuildRecord(0, 256, qelsim::LengthField::k16Bit, {}), 271},
        LengthCase{0x1C, qelsim::BuildRecord(0, 16, qelsim::LengthField::k32Bit, {}), 19},
        LengthCase{0x01, {}, 99}, LengthCase{0x44, {}, 99}, LengthCase{0x90, {}, 99}));

TEST(DeviceCommands, ConfigurationWrittenIsReadBackWhole) {
    qelsim::DeviceModel device;
    Bytes block(34);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(0x40 + i);
    }
    EXPECT_EQ(Reply(device, RequestLine(0x03, 2, block))[4], 0x00);
    const Bytes reply = Reply(device, RequestLine(0x02, 3));
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 38), block);
}

TEST(DeviceCommands, ConfigurationOfTheWrongSizeIsRefused) {
    qelsim::DeviceModel device;
    const auto before = device.Configuration();
    EXPECT_EQ(Reply(device, RequestLine(0x03, 2, Bytes(33, 0)))[4], 0x01);
    EXPECT_EQ(device.Configuration(), before);
}

TEST(DeviceCommands, RawDataReplyCarriesItsCountBigEndian) {
    qelsim::DeviceOptions options;
    options.rawData.info = {9, 8, 7, 6, 5, 4};
    options.rawData.valueOffset = 0x10;
    options.rawData.encoding = 1;
    options.rawData.data = Bytes(0x123, 0xAB);
    qelsim::DeviceModel device(options);
    const Bytes reply = Reply(device, RequestLine(0x05, 4));
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
    const Bytes reply = Reply(device, RequestLine(0x31, 5));
    const auto payload = qelsim::DefaultDataPayload();
    EXPECT_EQ(Bytes(reply.begin() + 4, reply.begin() + 97), Bytes(payload.begin(), payload.end()));
}

TEST(DeviceCommands, PageWrittenIsReadBack) {
    qelsim::DeviceModel device;
    Bytes page(256);
    for (std::size_t i = 0; i < page.size(); ++i) {
        page[i] = static_cast<std::uint8_t>(i ^ 0x5C);
    }
    EXPECT_EQ(Reply(device, simtest::WritePageLine(2, 0x40100, page))[4], 0x00);
    const Bytes reply = Reply(device, simtest::ReadPageLine(3, 0x40100));
    EXPECT_EQ(reply[4], 0x00);
    EXPECT_EQ(reply[5], 0x5A);
    EXPECT_EQ(reply[6] | reply[7] << 8 | reply[8] << 16 | reply[9] << 24, 0x40100);
    EXPECT_EQ(reply[10] | reply[11] << 8, 256);
    EXPECT_EQ(qelsim::ByteSum({reply.data() + 5, 264}), 0xA5);
    EXPECT_EQ(Bytes(reply.begin() + 13, reply.begin() + 269), page);
}

TEST(DeviceCommands, Crc16OfNothingIsZero) {
    qelsim::DeviceModel device;
    const Bytes reply = Reply(device, simtest::Crc16Line(2, 0x40000, 0));
    EXPECT_EQ(reply[4], 0x00);
    EXPECT_EQ(reply[15] | reply[16] << 8, 0);
}

TEST(DeviceCommands, Crc16ReplyEchoesAddressAndSize) {
    qelsim::DeviceModel device;
    const Bytes reply = Reply(device, simtest::Crc16Line(2, 0x40000, 0x1234));
    EXPECT_EQ(reply[6] | reply[7] << 8 | reply[8] << 16 | reply[9] << 24, 0x40000);
    EXPECT_EQ(reply[10] | reply[11] << 8 | reply[12] << 16 | reply[13] << 24, 0x1234);
    const std::uint16_t expected = qelsim::Crc16Arc(Bytes(0x1234, 0xFF));
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

void PrintTo(const MalformedCase& c, std::ostream* out) {
    *out << c.name;
}

Bytes Damaged(Bytes record, std::size_t at, std::uint8_t value) {
    record[at] = value;
    return record;
}

Bytes GoodWrite(std::uint32_t address) {
    return qelsim::BuildRecord(address, 256, qelsim::LengthField::k16Bit, Bytes(256, 0x11));
}

class MalformedMemoryRequest : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedMemoryRequest, IsRefusedWithStatusOne) {
    qelsim::DeviceOptions options;
    options.memorySize = 0x50000;
    qelsim::DeviceModel device(options);
    const auto before = device.Memory();
    const Bytes reply = Reply(device, RequestLine(GetParam().command, 9, GetParam().payload));
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
        MalformedCase{
            "WriteWrongLength", 0x18,
            qelsim::BuildRecord(0x40000, 255, qelsim::LengthField::k16Bit, Bytes(256, 0x11)), 7},
        MalformedCase{
            "WriteShortData", 0x18,
            qelsim::BuildRecord(0x40000, 256, qelsim::LengthField::k16Bit, Bytes(255, 0x11)), 7},
        MalformedCase{"WritePastMemory", 0x18, GoodWrite(0x4FF01), 7},
        MalformedCase{"WriteAddressWraps", 0x18, GoodWrite(0xFFFFFF80), 7},
        MalformedCase{"WriteNoRecord", 0x18, {}, 7},
        MalformedCase{
            "ReadBadChecksum", 0x1A,
            Damaged(qelsim::BuildRecord(0x40000, 256, qelsim::LengthField::k16Bit, {}), 7, 0x47),
            271},
        MalformedCase{"ReadPastMemory", 0x1A,
                      qelsim::BuildRecord(0x4FF01, 256, qelsim::LengthField::k16Bit, {}), 271},
        MalformedCase{"ReadOtherLength", 0x1A,
                      qelsim::BuildRecord(0x40000, 128, qelsim::LengthField::k16Bit, {}), 271},
        MalformedCase{"ReadNoRecord", 0x1A, {}, 271},
        MalformedCase{
            "CrcBadStart", 0x1C,
            Damaged(qelsim::BuildRecord(0x40000, 16, qelsim::LengthField::k32Bit, {}), 0, 0x00),
            19},
        MalformedCase{"CrcPastMemory", 0x1C,
                      qelsim::BuildRecord(0x40000, 0x10001, qelsim::LengthField::k32Bit, {}), 19},
        MalformedCase{"CrcNoRecord", 0x1C, Bytes{0x5A}, 19}),
    [](const testing::TestParamInfo<MalformedCase>& param) { return param.param.name; });

// A frame with a correct CRC16, whatever else is wrong with it.
std::string Sealed(Bytes frame) {
    const std::uint16_t crc = qelsim::Crc16Arc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return qelsim::ToHexText(frame);
}

// Lines a device cannot read get no reply at all, but are still on record.
class UnreadableLine : public testing::TestWithParam<std::string> {};

TEST_P(UnreadableLine, GetsNoReply) {
    qelsim::DeviceModel device;
    EXPECT_EQ(device.HandleRequest(GetParam()), std::nullopt);
    ASSERT_EQ(device.Requests().size(), 1U);
    EXPECT_EQ(device.Requests()[0].faults, "unreadable");
    EXPECT_FALSE(device.Requests()[0].answered);
    EXPECT_EQ(device.ResetCount(), 0U);
}

INSTANTIATE_TEST_SUITE_P(Lines, UnreadableLine,
                         testing::Values("5A0A7D024B93",                    // CRC16 wrong
                                         "5A0A7D024B9",                     // odd number of digits
                                         "5A0A7D024B9G",                    // not a digit
                                         Sealed({0x5B, 0x0A, 0x7D, 0x02}),  // start byte
                                         Sealed({0x5A, 0x0A, 0x7C, 0x02}),  // separator
                                         "5A0A7D",                          // too short
                                         "?",                // what an overlong line becomes
                                         " 5A0A7D024B92"));  // stray character

}  // namespace
