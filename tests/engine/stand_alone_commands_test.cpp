#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_channel.h"
#include "protocol_access.h"
#include "sleep_recorder.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

TEST(Reset, SendsTheResetFrameAndPrintsNothing) {
    FakeChannel channel;
    channel.QueueReply("5A8A7D02006DE3\r");
    QelProtocol protocol(&channel, 1, 1, nullptr);
    testing::internal::CaptureStdout();
    EXPECT_EQ(protocol.Reset(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(channel.Writes(), (std::vector<std::string>{"5A0A7D024B92", "\r"}));
    EXPECT_EQ(channel.Calls()[2].length, 15);
}

TEST(Reset, ReportsARefusalAndPassesOtherFailuresOn) {
    FakeChannel channel;
    channel.QueueReply(wire::StatusReply(0x0A, 2, 1));
    channel.QueueReply(wire::StatusReply(0x0A, 2));  // answers the next request late
    channel.QueueReply("5A8A7D04G06DE3\r");
    QelProtocol protocol(&channel, 1, 1, nullptr);
    EXPECT_EQ(protocol.Reset(), qel::kErrReplyStatus);
    EXPECT_EQ(protocol.Reset(), qel::kErrReplyMessageId);
    EXPECT_EQ(protocol.Reset(), qel::kErrReplyNotHex);
    EXPECT_EQ(protocol.Reset(), FakeChannel::kSilentCode);
}

// Every exchange notifies the window before sending and after the reply.
TEST(Reset, NotifiesTheWindowOfRequestAndReply) {
    FakeChannel channel;
    channel.QueueReply("5A8A7D02006DE3\r");
    TraceRecorder window;
    QelProtocol protocol(&channel, 1, 1, window.Window());
    EXPECT_EQ(protocol.Reset(), 0);
    ASSERT_EQ(window.Received().size(), 2u);
    EXPECT_EQ(window.Received()[0].message, 0x401u);
    EXPECT_EQ(window.Received()[0].wParam, 0xC000Au);
    EXPECT_EQ(window.Received()[0].text, "5A0A7D024B92");
    EXPECT_EQ(window.Received()[1].wParam, 0x8Au);
    EXPECT_EQ(window.Received()[1].text, "5A8A7D02006DE3\r");
}

TEST(Dummy, SendsFourFixedNotificationsASecondApart) {
    SleepRecorder sleeps;
    FakeChannel channel;
    TraceRecorder window;
    QelProtocol protocol(&channel, 1, 1, window.Window());
    testing::internal::CaptureStdout();
    protocol.dummy();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const std::vector<std::pair<std::uintptr_t, std::string>> expected = {
        {0x05, "Now dummy starting..."},
        {0x85, "Now dummy working..."},
        {0x0A, "Now dummy stop."},
        {0x8A, "Now dummy stop."}};
    ASSERT_EQ(window.Received().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(window.Received()[i].message, 0x401u);
        EXPECT_EQ(window.Received()[i].wParam, expected[i].first);
        EXPECT_EQ(window.Received()[i].text, expected[i].second);
    }
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{1000, 1000, 1000}));
    EXPECT_TRUE(channel.Calls().empty());
}

TEST(Dummy, WithoutAWindowStillPausesThreeTimes) {
    SleepRecorder sleeps;
    FakeChannel channel;
    QelProtocol protocol(&channel, 1, 1, nullptr);
    protocol.dummy();
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{1000, 1000, 1000}));
    EXPECT_TRUE(channel.Calls().empty());
}

}  // namespace
