#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol_access.h"
#include "protocol_on_fake_channel.h"
#include "sleep_recorder.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

TEST(Reset, SendsTheResetFrameAndPrintsNothing) {
    ProtocolOnFakeChannel rig({"5A8A7D02006DE3\r"});
    testing::internal::CaptureStdout();
    EXPECT_EQ(rig.protocol.Reset(), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{"5A0A7D024B92", "\r"}));
    EXPECT_EQ(rig.channel.Calls()[2].length, 15);
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
    TraceRecorder window;
    ProtocolOnFakeChannel rig({"5A8A7D02006DE3\r"}, window.Window());
    EXPECT_EQ(rig.protocol.Reset(), 0);
    ASSERT_EQ(window.Received().size(), 2u);
    EXPECT_EQ(window.Received()[0].message, 0x401u);
    EXPECT_EQ(window.Received()[0].wParam, 0xC000Au);
    EXPECT_EQ(window.Received()[0].text, "5A0A7D024B92");
    EXPECT_EQ(window.Received()[1].wParam, 0x8Au);
    EXPECT_EQ(window.Received()[1].text, "5A8A7D02006DE3\r");
}

TEST(Dummy, SendsFourFixedNotificationsASecondApart) {
    SleepRecorder sleeps;
    TraceRecorder window;
    ProtocolOnFakeChannel rig({}, window.Window());
    testing::internal::CaptureStdout();
    rig.protocol.dummy();
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
    EXPECT_TRUE(rig.channel.Calls().empty());
}

TEST(Dummy, WithoutAWindowStillPausesThreeTimes) {
    SleepRecorder sleeps;
    ProtocolOnFakeChannel rig;
    rig.protocol.dummy();
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{1000, 1000, 1000}));
    EXPECT_TRUE(rig.channel.Calls().empty());
}

}  // namespace
