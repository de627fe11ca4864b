#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "case_name.h"
#include "protocol_access.h"
#include "protocol_on_fake_channel.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

using wire::Append;
using wire::Bytes;

constexpr std::uint8_t kFirstId = 2;

// The frame, six info bytes, the value offset, the encoding and the count, high byte first.
Bytes RawHeader(std::uint8_t encoding, std::uint8_t offset, unsigned count,
                std::uint8_t id = kFirstId) {
    const auto high = static_cast<std::uint8_t>(count >> 8);
    const auto low = static_cast<std::uint8_t>(count & 0xFF);
    return {0x5A, 0x85, 0x7D, id, 1, 2, 3, 4, 5, 6, offset, encoding, high, low};
}

std::string RawReply(std::uint8_t encoding, std::uint8_t offset, const Bytes& data) {
    Bytes frame = RawHeader(encoding, offset, static_cast<unsigned>(data.size()));
    Append(frame, data);
    return wire::Line(frame);
}

std::string DataReply(std::uint8_t replyCode, std::uint8_t first, std::uint8_t id = kFirstId) {
    Bytes frame{0x5A, replyCode, 0x7D, id};
    for (int i = 0; i < 93; ++i) {
        frame.push_back(static_cast<std::uint8_t>(first + i));
    }
    return wire::Line(frame);
}

// The caller's outputs, filled with a pattern that a failure must leave in place.
struct RawOutputs {
    std::array<unsigned char, 1024> data;
    std::uint16_t length = 0xABCD;
    RawOutputs() { data.fill(0xEE); }
    bool Untouched() const {
        return length == 0xABCD &&
               std::all_of(data.begin(), data.end(), [](unsigned char b) { return b == 0xEE; });
    }
    Bytes Decoded() const { return Bytes(data.begin(), data.begin() + length); }
};

std::vector<int> ReadLengths(const FakeChannel& channel) {
    std::vector<int> lengths;
    for (const auto& call : channel.Calls()) {
        if (call.kind == FakeChannel::Call::kRead) {
            lengths.push_back(call.length);
        }
    }
    return lengths;
}

TEST(ReadData, WrapsTheExpectedReplyCodeAndHandsOnByteFour) {
    ProtocolOnFakeChannel rig({DataReply(0x10, 0x77)});
    _read_data_reply_data data{};
    ASSERT_EQ(rig.protocol.ReadData(&data, 0x90), 0);
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{wire::Request(0x90, 2), "\r"}));
    EXPECT_EQ(ReadLengths(rig.channel), std::vector<int>{199});
    EXPECT_EQ(data.bytes[0], 0x77);
    EXPECT_EQ(data.bytes[92], static_cast<std::uint8_t>(0x77 + 92));
}

TEST(ReadData, RefusesAnUnreducedReplyCodeAndKeepsTheRecord) {
    FakeChannel channel;
    channel.QueueReply(DataReply(0x85, 0));  // 0x05 + 0x80 would be right for code 5, not 0x90
    QelProtocol protocol(&channel, 1, 1, nullptr);
    _read_data_reply_data data;
    std::memset(&data, 0xEE, sizeof data);
    EXPECT_EQ(protocol.ReadData(&data, 0x90), 5002);
    EXPECT_EQ(data.bytes[0], 0xEE);
    EXPECT_EQ(protocol.ReadData(&data, 0x90), FakeChannel::kSilentCode);
}

TEST(ReadData, NotifiesTheReplyCodeAsAFullInt) {
    TraceRecorder window;
    ProtocolOnFakeChannel rig({DataReply(0x10, 0)}, window.Window());
    _read_data_reply_data data{};
    ASSERT_EQ(rig.protocol.ReadData(&data, 0x90), 0);
    ASSERT_EQ(window.Received().size(), 2u);
    EXPECT_EQ(window.Received()[0].wParam, (12u << 16) | 0x90);
    EXPECT_EQ(window.Received()[1].wParam, 0x110u);
}

TEST(ReadRawData, ReadsTheHeaderThenExactlyTheAnnouncedRest) {
    ProtocolOnFakeChannel rig({RawReply(0, 0x10, {0x01, 0x80}) + "5A"});
    RawOutputs out;
    ASSERT_EQ(rig.protocol.ReadRawData(out.data.data(), out.length), 0);
    EXPECT_EQ(out.Decoded(), (Bytes{0x01, 0x80}));
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{wire::Request(0x05, 2), "\r"}));
    EXPECT_EQ(ReadLengths(rig.channel), (std::vector<int>{28, 9}));
}

Bytes Repeated(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}

struct RawFailure {
    const char* name;
    std::string text;  // everything the device sends
    int expected;
    std::vector<int> reads;
};

class ReadRawDataRefuses : public ::testing::TestWithParam<RawFailure> {};

TEST_P(ReadRawDataRefuses, AndLeavesTheOutputsAlone) {
    const RawFailure& c = GetParam();
    ProtocolOnFakeChannel rig({c.text});
    RawOutputs out;
    EXPECT_EQ(rig.protocol.ReadRawData(out.data.data(), out.length), c.expected);
    EXPECT_TRUE(out.Untouched());
    EXPECT_EQ(ReadLengths(rig.channel), c.reads);
}

std::string Announcing(unsigned count) {
    // A device that claims count bytes and then keeps sending.
    return wire::Hex(RawHeader(0, 0, count)) + std::string(4096, '0');
}

std::string WithCharacter(std::string text, std::size_t at, char character) {
    text[at] = character;
    return text;
}

const std::string kTwoBytes = RawReply(0, 0, {0x12, 0x34});

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadRawDataRefuses,
    ::testing::Values(
        // The refused rest is read as far as announced (2 * (1025 + 2) + 1), into no buffer.
        RawFailure{"Announces1025", Announcing(1025), 5027, {28, 2055}},
        RawFailure{"DoublesOneTooMany", RawReply(1, 0, Repeated(513, 0x90)), 5027, {28, 1031}},
        RawFailure{"HeaderNotHex", WithCharacter(kTwoBytes, 5, 'G'), 5010, {28}},
        RawFailure{"RestNotHex", WithCharacter(kTwoBytes, 30, 'G'), 5010, {28, 9}},
        RawFailure{"BadCrc",
                   WithCharacter(kTwoBytes, 35, kTwoBytes[35] == '0' ? '1' : '0'),
                   5006,
                   {28, 9}},
        RawFailure{"OtherMessageId", WithCharacter(kTwoBytes, 7, '7'), 5004, {28, 9}},
        RawFailure{
            "SilentAfterTheHeader", kTwoBytes.substr(0, 30), FakeChannel::kSilentCode, {28, 9}},
        RawFailure{"Silent", "", FakeChannel::kSilentCode, {28}}),
    CaseName());

TEST(ReadRawData, ARefusedReplyLeavesNothingBehindForTheNextCommand) {
    FakeChannel channel;
    // 65535 announced bytes, all sent: more than 60 pieces of the largest reply text.
    channel.QueueReply(wire::Hex(RawHeader(0, 0, 65535)) + std::string(2 * (65535 + 2) + 1, '0'));
    channel.QueueReply(wire::Line({0x5A, 0x8A, 0x7D, kFirstId + 1, 0}));
    QelProtocol protocol(&channel, 1, 1, nullptr);
    RawOutputs out;
    ASSERT_EQ(protocol.ReadRawData(out.data.data(), out.length), 5027);
    EXPECT_EQ(protocol.Reset(), 0);
}

TEST(ReadRawData, AFailedWriteReadsNothing) {
    ProtocolOnFakeChannel rig({kTwoBytes});
    rig.channel.FailWrite(0, 5024);
    RawOutputs out;
    EXPECT_EQ(rig.protocol.ReadRawData(out.data.data(), out.length), 5024);
    EXPECT_TRUE(ReadLengths(rig.channel).empty());
    EXPECT_TRUE(out.Untouched());
}

TEST(ExtractRawData, RefusesACountBeyondTheArrayWhenCalledOnItsOwn) {
    ProtocolOnFakeChannel rig;
    Bytes reply = RawHeader(0, 0, 1025);
    reply.resize(14 + 1025 + 3);
    unsigned char data[1024] = {};
    std::uint16_t length = 7;
    EXPECT_EQ(rig.access.ExtractRawData(reply.data(), data, length), 5027);
    EXPECT_EQ(length, 7);
}

TEST(ReadRawData, NotifiesOnceWithTheWholeReplyText) {
    TraceRecorder window;
    ProtocolOnFakeChannel rig({kTwoBytes}, window.Window());
    RawOutputs out;
    ASSERT_EQ(rig.protocol.ReadRawData(out.data.data(), out.length), 0);
    ASSERT_EQ(window.Received().size(), 2u);
    EXPECT_EQ(window.Received()[0].wParam, (12u << 16) | 0x05);
    EXPECT_EQ(window.Received()[1].wParam, 0x85u);
    EXPECT_EQ(window.Received()[1].text, kTwoBytes);
    EXPECT_EQ(window.Received()[1].text.size(), 2u * 2 + 33);
}

TEST(ReadRawData, SendsNoReplyNotificationWhenRefusingTheCount) {
    TraceRecorder window;
    ProtocolOnFakeChannel rig({Announcing(2000)}, window.Window());
    RawOutputs out;
    EXPECT_EQ(rig.protocol.ReadRawData(out.data.data(), out.length), 5027);
    EXPECT_EQ(window.Received().size(), 1u);
}

}  // namespace
