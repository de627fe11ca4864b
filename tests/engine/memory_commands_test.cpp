#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "case_name.h"
#include "protocol_access.h"
#include "protocol_on_fake_channel.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

using wire::Bytes;

constexpr int kBase = 0x40000;

Bytes BlockOf(std::uint8_t first) {
    Bytes block(256);
    for (int i = 0; i < 256; ++i) {
        block[i] = static_cast<std::uint8_t>(first + i);
    }
    return block;
}

TEST(ReadMemory, SendsABalancedRecordAndCopiesTheBlock) {
    ProtocolOnFakeChannel rig({wire::ReadReply({}, BlockOf(7))});
    std::array<unsigned char, 256> block{};
    ASSERT_EQ(rig.protocol.ReadMemory(kBase, block.data()), 0);
    // The record 5A 00 00 04 00 00 01 46 adds up to 0xA5.
    EXPECT_EQ(
        rig.channel.Writes(),
        (std::vector<std::string>{wire::Request(0x1A, 2, {0x5A, 0, 0, 4, 0, 0, 1, 0x46}), "\r"}));
    EXPECT_EQ(rig.channel.Calls().back().length, 543);
    const Bytes expected = BlockOf(7);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), expected.begin()));
}

TEST(ReadMemory, PassesTheAddressBitsOfANegativeInt) {
    ProtocolOnFakeChannel rig({wire::ReadReply({.address = 0xFFFFFF00u}, BlockOf(0))});
    std::array<unsigned char, 256> block{};
    EXPECT_EQ(rig.protocol.ReadMemory(-256, block.data()), 0);
    EXPECT_EQ(rig.channel.Writes()[0].substr(8, 14), "5A00FFFFFF0001");
}

struct BadRecord {
    const char* name;
    wire::Fields echo;
    int expected;
};

class ReadMemoryRefuses : public ::testing::TestWithParam<BadRecord> {};

TEST_P(ReadMemoryRefuses, AndKeepsTheCallersBlock) {
    ProtocolOnFakeChannel rig({wire::ReadReply(GetParam().echo, BlockOf(1))});
    std::array<unsigned char, 256> block;
    block.fill(0xEE);
    EXPECT_EQ(rig.protocol.ReadMemory(kBase, block.data()), GetParam().expected);
    for (unsigned char b : block) {
        ASSERT_EQ(b, 0xEE);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadMemoryRefuses,
    ::testing::Values(BadRecord{"StatusBeforeADamagedRecord",
                                {.status = 1, .start = 0, .address = 0, .checksumError = 3},
                                5007},
                      BadRecord{"OtherAddress", {.address = kBase + 256}, 5012},
                      BadRecord{"OtherCount", {.length = 255}, 5012},
                      BadRecord{"WrongStart", {.start = 0x5B}, 5012},
                      BadRecord{"ChecksumOff", {.checksumError = 1}, 5012}),
    CaseName());

TEST(WriteMemory, BalancesTheRecordOverFieldsAndContent) {
    ProtocolOnFakeChannel rig({wire::StatusReply(0x18, 2)});
    std::array<unsigned char, 256> block;
    block.fill(0xFF);
    ASSERT_EQ(rig.protocol.WriteMemory(kBase, block.data()), 0);
    Bytes frame{0x5A, 0x18, 0x7D, 2, 0x5A, 0, 0, 4, 0, 0, 1, 0x46};
    frame.insert(frame.end(), 256, 0xFF);
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{wire::Text(frame), "\r"}));
    EXPECT_EQ(rig.channel.Calls().back().length, 15);
}

TEST(WriteMemory, AFailedCrWriteReadsNothing) {
    ProtocolOnFakeChannel rig;
    rig.channel.FailWrite(1, 5025);
    const Bytes block = BlockOf(0x80);
    EXPECT_EQ(rig.protocol.WriteMemory(kBase, block.data()), 5025);
    EXPECT_EQ(rig.channel.Calls().size(), 2u);
}

TEST(ReadMemoryCrc16, SendsAddressAndSizeAndReturnsTheLittleEndianValue) {
    ProtocolOnFakeChannel rig({wire::CrcReply({.length = 0x1234}, 0x1234)});
    std::uint16_t crc = 0;
    ASSERT_EQ(rig.protocol.ReadMemoryCRC16(kBase, 0x1234, crc), 0);
    EXPECT_EQ(crc, 0x1234);
    // 0x4B minus the address and size bytes 04 34 12.
    const std::uint8_t checksum = 0x4B - 0x04 - 0x34 - 0x12;
    EXPECT_EQ(rig.channel.Writes()[0],
              wire::Request(0x1C, 2, {0x5A, 0, 0, 4, 0, 0x34, 0x12, 0, 0, checksum}));
    EXPECT_EQ(rig.channel.Calls().back().length, 39);
    // The value bytes travel low byte first: reply bytes 15 and 16 are 34 12.
    EXPECT_EQ(rig.channel.Calls().back().data.substr(30, 4), "3412");
}

class ReadMemoryCrc16Refuses : public ::testing::TestWithParam<BadRecord> {};

TEST_P(ReadMemoryCrc16Refuses, AndKeepsTheCallersValue) {
    ProtocolOnFakeChannel rig({wire::CrcReply(GetParam().echo, 0xBEEF)});
    std::uint16_t crc = 0x5555;
    EXPECT_EQ(rig.protocol.ReadMemoryCRC16(kBase, 256, crc), GetParam().expected);
    EXPECT_EQ(crc, 0x5555);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ReadMemoryCrc16Refuses,
    ::testing::Values(BadRecord{"StatusBeforeADamagedRecord",
                                {.status = 2, .address = 1, .checksumError = 1},
                                5007},
                      BadRecord{"OtherAddress", {.address = kBase - 256}, 5009},
                      BadRecord{"OtherSize", {.length = 512}, 5009},
                      BadRecord{"WrongStart", {.start = 0x00}, 5009},
                      BadRecord{"ChecksumOff", {.checksumError = -1}, 5009}),
    CaseName());

struct TracedCommand {
    const char* name;
    std::uintptr_t requestWParam;
    std::uintptr_t replyWParam;
    std::string reply;
    int (*run)(QelProtocol&);
};

class MemoryCommandTrace : public ::testing::TestWithParam<TracedCommand> {};

TEST_P(MemoryCommandTrace, NotifiesRequestAndWholeReply) {
    TraceRecorder window;
    ProtocolOnFakeChannel rig({GetParam().reply}, window.Window());
    ASSERT_EQ(GetParam().run(rig.protocol), 0);
    ASSERT_EQ(window.Received().size(), 2u);
    EXPECT_EQ(window.Received()[0].wParam, GetParam().requestWParam);
    EXPECT_EQ(window.Received()[0].text, rig.channel.Writes()[0]);
    EXPECT_EQ(window.Received()[1].wParam, GetParam().replyWParam);
    EXPECT_EQ(window.Received()[1].text, GetParam().reply);
}

int ReadBlock(QelProtocol& protocol) {
    unsigned char block[256];
    return protocol.ReadMemory(kBase, block);
}

int WriteBlock(QelProtocol& protocol) {
    const unsigned char block[256] = {};
    return protocol.WriteMemory(kBase, block);
}

int ReadCrc(QelProtocol& protocol) {
    std::uint16_t crc = 0;
    return protocol.ReadMemoryCRC16(kBase, 256, crc);
}

INSTANTIATE_TEST_SUITE_P(Commands, MemoryCommandTrace,
                         ::testing::Values(TracedCommand{"Read", (28u << 16) | 0x1A, 0x9A,
                                                         wire::ReadReply({}, BlockOf(3)),
                                                         &ReadBlock},
                                           TracedCommand{"Write", (540u << 16) | 0x18, 0x98,
                                                         wire::StatusReply(0x18, 2), &WriteBlock},
                                           TracedCommand{"Crc16", (32u << 16) | 0x1C, 0x9C,
                                                         wire::CrcReply({}, 0x0102), &ReadCrc}),
                         CaseName());

}  // namespace
