#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fake_channel.h"
#include "protocol_access.h"
#include "trace_recorder.h"

namespace {

constexpr int kResetReplyBytes = 7;

// Every code that the library or the serial library returns has a text of its own; others do not.
TEST(ResultCodeText, NamesEveryCodeOfTheLibraryAndOfTheSerialLibrary) {
    std::vector<int> codes{0, -1, 2103, 2143, 2176, 2181, 5014, 5015};
    for (int code = 5001; code <= 5012; ++code) {
        codes.push_back(code);
    }
    for (int code = 5017; code <= 5028; ++code) {
        codes.push_back(code);
    }
    for (int code = 3001; code <= 3011; ++code) {
        codes.push_back(code);
    }
    const std::string unknown = "unknown result code";
    std::set<std::string> texts;
    for (int code : codes) {
        const std::string text = qel::ResultCodeText(code);
        EXPECT_NE(text, unknown) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), codes.size());
    EXPECT_STREQ(qel::ResultCodeText(3002), "the device can't be opened (missing, no permission)");
    for (int code : {5013, 5016, 3000, 3012, 1}) {
        EXPECT_EQ(qel::ResultCodeText(code), unknown) << code;
    }
}

TEST(ProtocolObject, StartsWithTheFieldsOfAFreshObject) {
    FakeChannel channel;
    QelProtocol protocol(&channel, 2, 5, nullptr);
    QelProtocolTestAccess access(protocol);
    EXPECT_EQ(access.DataBuffer(), nullptr);
    EXPECT_EQ(access.DataSize(), 0);
    EXPECT_EQ(access.PageAddress(), 0x40000u);
    EXPECT_EQ(access.UpgradeState(), 0);
    EXPECT_EQ(access.MsgId(), 1);
    EXPECT_EQ(access.Channel(), &channel);
    EXPECT_EQ(access.VerifyMethod(), 2);
    EXPECT_EQ(access.RunMode(), 5);
    EXPECT_TRUE(channel.Calls().empty());
}

TEST(Exchange, SendsTheResetFrameForMessageIdTwoAndAcceptsItsReply) {
    FakeChannel channel;
    channel.QueueReply("5A8A7D02006DE3\r");
    QelProtocol protocol(&channel, 1, 1, nullptr);
    QelProtocolTestAccess access(protocol);
    unsigned char reply[kResetReplyBytes + 1];
    EXPECT_EQ(access.BareExchange(0x0A, reply, kResetReplyBytes, false), 0);
    EXPECT_EQ(channel.Writes(), (std::vector<std::string>{"5A0A7D024B92", "\r"}));
    ASSERT_EQ(channel.Calls().size(), 3u);
    EXPECT_EQ(channel.Calls()[2].kind, FakeChannel::Call::kRead);
    EXPECT_EQ(channel.Calls()[2].length, 15);
    EXPECT_EQ(reply[4], 0);
    EXPECT_EQ(reply[7], 0x0D);
}

TEST(Exchange, EveryRequestConsumesAnIdAlsoWhenItFails) {
    FakeChannel channel;
    channel.FailWrite(0, 5024);
    QelProtocol protocol(&channel, 1, 1, nullptr);
    QelProtocolTestAccess access(protocol);
    unsigned char reply[8];
    EXPECT_EQ(access.BareExchange(0x0A, reply, kResetReplyBytes, false), 5024);
    EXPECT_EQ(access.MsgId(), 2);
    // A failed text write sends no CR and reads nothing.
    EXPECT_EQ(channel.Calls().size(), 1u);
    EXPECT_EQ(access.BareExchange(0x0A, reply, kResetReplyBytes, false), FakeChannel::kSilentCode);
    EXPECT_EQ(access.MsgId(), 3);
}

TEST(Exchange, WrapsTheIdFrom254ToOne) {
    FakeChannel channel;
    QelProtocol protocol(&channel, 1, 1, nullptr);
    QelProtocolTestAccess access(protocol);
    access.SetMsgId(253);
    unsigned char reply[8];
    access.BareExchange(0x0A, reply, kResetReplyBytes, false);
    EXPECT_EQ(access.MsgId(), 254);
    access.BareExchange(0x0A, reply, kResetReplyBytes, false);
    EXPECT_EQ(access.MsgId(), 1);
    EXPECT_EQ(channel.Writes()[2].substr(6, 2), "01");
}

TEST(Exchange, ReportsConversionAndCheckFailures) {
    FakeChannel channel;
    channel.QueueReply("5A8A7D02G06DE3\r");
    channel.QueueReply("5A8A7D03006DE3\r");
    QelProtocol protocol(&channel, 1, 1, nullptr);
    QelProtocolTestAccess access(protocol);
    unsigned char reply[8];
    EXPECT_EQ(access.BareExchange(0x0A, reply, kResetReplyBytes, false), qel::kErrReplyNotHex);
    EXPECT_EQ(access.BareExchange(0x0A, reply, kResetReplyBytes, false), qel::kErrReplyCrc);
}

TEST(Exchange, AFailedReadSuppressesTheReplyNotification) {
    FakeChannel channel;
    TraceRecorder window;
    QelProtocol protocol(&channel, 1, 1, window.Window());
    QelProtocolTestAccess access(protocol);
    unsigned char reply[8];
    EXPECT_NE(access.BareExchange(0x0A, reply, kResetReplyBytes, true), 0);
    EXPECT_EQ(window.Received().size(), 1u);
}

TEST(ProtocolObject, CopyAssignmentCopiesSettingsWithoutSharingTheImage) {
    FakeChannel channel;
    QelProtocol source(&channel, 2, 3, nullptr);
    QelProtocol target(nullptr, 1, 1, nullptr);
    target = source;
    QelProtocolTestAccess access(target);
    EXPECT_EQ(access.Channel(), &channel);
    EXPECT_EQ(access.VerifyMethod(), 2);
    EXPECT_EQ(access.RunMode(), 3);
    EXPECT_EQ(access.DataBuffer(), nullptr);
}

}  // namespace
