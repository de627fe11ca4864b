#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "protocol_access.h"
#include "protocol_on_fake_channel.h"
#include "qel_event.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

constexpr int kResetReplyBytes = 7;

// Every code that the library or the serial library returns has a text of its own; others do not.
TEST(ResultCodeText, NamesEveryCodeOfTheLibraryAndOfTheSerialLibrary) {
    std::vector<int> codes{0, -1, 2103, 2143, 2176, 2181, 5014, 5015};
    for (int code = 5001; code <= 5012; ++code) {
        codes.push_back(code);
    }
    for (int code = 5017; code <= 5033; ++code) {
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

// Scripts read these words and numbers, so they stay as they are.
TEST(EventNames, NameEveryKindPhaseAndFailureWithTheExitStatusOfEachFailure) {
    const std::vector<std::string> kinds{"trace", "step",    "attempt", "open",
                                         "info",  "warning", "error",   "progress",
                                         "start", "result",  "retry"};
    const std::vector<std::string> phases{"none",      "load",  "prepare",      "open",
                                          "clear",     "write", "header",       "verify_crc",
                                          "read_back", "reset", "device_check", "compare"};
    const std::vector<std::string> failures{"none",        "options",  "file",        "setup",
                                            "unreachable", "exchange", "wrong_image", "cancelled"};
    const std::vector<int> exitStatuses{0, 1, 1, 1, 2, 2, 3, 2};
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(qel_event_kind_name(static_cast<int32_t>(i + 1)), kinds[i]);
    }
    for (std::size_t i = 0; i < phases.size(); ++i) {
        EXPECT_EQ(qel_phase_name(static_cast<int32_t>(i)), phases[i]);
    }
    for (std::size_t i = 0; i < failures.size(); ++i) {
        EXPECT_EQ(qel_failure_name(static_cast<int32_t>(i)), failures[i]);
        EXPECT_EQ(qel_exit_status_of(static_cast<int32_t>(i)), exitStatuses[i]) << failures[i];
    }
    EXPECT_STREQ(qel_event_kind_name(0), "unknown");
    EXPECT_STREQ(qel_event_kind_name(12), "unknown");
    EXPECT_STREQ(qel_phase_name(-1), "unknown");
    EXPECT_STREQ(qel_failure_name(8), "unknown");
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
    ProtocolOnFakeChannel rig({"5A8A7D02006DE3\r"});
    unsigned char reply[kResetReplyBytes + 1];
    EXPECT_EQ(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false), 0);
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{"5A0A7D024B92", "\r"}));
    ASSERT_EQ(rig.channel.Calls().size(), 3u);
    EXPECT_EQ(rig.channel.Calls()[2].kind, FakeChannel::Call::kRead);
    EXPECT_EQ(rig.channel.Calls()[2].length, 15);
    EXPECT_EQ(reply[4], 0);
    EXPECT_EQ(reply[7], 0x0D);
}

TEST(Exchange, EveryRequestConsumesAnIdAlsoWhenItFails) {
    ProtocolOnFakeChannel rig;
    rig.channel.FailWrite(0, 5024);
    unsigned char reply[8];
    EXPECT_EQ(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false), 5024);
    EXPECT_EQ(rig.access.MsgId(), 2);
    // A failed text write sends no CR and reads nothing.
    EXPECT_EQ(rig.channel.Calls().size(), 1u);
    EXPECT_EQ(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false),
              FakeChannel::kSilentCode);
    EXPECT_EQ(rig.access.MsgId(), 3);
}

TEST(Exchange, WrapsTheIdFrom254ToOne) {
    ProtocolOnFakeChannel rig;
    rig.access.SetMsgId(253);
    unsigned char reply[8];
    rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false);
    EXPECT_EQ(rig.access.MsgId(), 254);
    rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false);
    EXPECT_EQ(rig.access.MsgId(), 1);
    EXPECT_EQ(rig.channel.Writes()[2].substr(6, 2), "01");
}

TEST(Exchange, ReportsConversionAndCheckFailures) {
    ProtocolOnFakeChannel rig({"5A8A7D02G06DE3\r", "5A8A7D03006DE3\r"});
    unsigned char reply[8];
    EXPECT_EQ(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false), qel::kErrReplyNotHex);
    EXPECT_EQ(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false), qel::kErrReplyCrc);
}

TEST(Exchange, AFailedReadSuppressesTheReplyNotification) {
    TraceRecorder window;
    ProtocolOnFakeChannel rig({}, window.Window());
    unsigned char reply[8];
    EXPECT_NE(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, true), 0);
    EXPECT_EQ(window.Received().size(), 1u);
}

// With a retry the first reply (id 2) times out and the request goes again with id 3; what the
// line then holds is read line by line until the reply with id 3.
struct InStepCase {
    const char* name;
    std::string line;  // what the channel holds after the second request
    int result;
};

void PrintTo(const InStepCase& c, std::ostream* out) {
    *out << c.name;
}

class RecoveryRead : public testing::TestWithParam<InStepCase> {};

TEST_P(RecoveryRead, KeepsOnlyTheReplyToTheRequestSentAgain) {
    ProtocolOnFakeChannel rig;
    rig.channel.QueueReadFailure(FakeChannel::kSilentCode);
    rig.channel.QueueReply(GetParam().line);
    rig.protocol.SetExchangeRetries(1);
    unsigned char reply[kResetReplyBytes + 1];
    testing::internal::CaptureStdout();
    EXPECT_EQ(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false), GetParam().result);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\nWARNING: No valid reply (ec=5021). Sending the request again (retry 1 of 1).");
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{wire::Request(0x0A, 2), "\r",
                                                              wire::Request(0x0A, 3), "\r"}));
    if (GetParam().result == 0) {
        EXPECT_EQ(reply[3], 3);
    }
}

const std::string kReplyTo3 = wire::StatusReply(0x0A, 3);
std::string Garbled(std::string line) {
    line[line.size() - 2] ^= 1;
    return line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RecoveryRead,
    testing::Values(
        InStepCase{"TheReply", kReplyTo3, 0},
        InStepCase{"AfterTheLateReplyToTheFirst", wire::StatusReply(0x0A, 2) + kReplyTo3, 0},
        InStepCase{"AfterTwoCopiesOfAnOlderReply",
                   wire::StatusReply(0x0A, 1) + wire::StatusReply(0x0A, 1) + kReplyTo3, 0},
        InStepCase{"AfterALongerOlderReply",
                   wire::BlockReply(0x1C, 2, wire::Bytes(14, 0)) + kReplyTo3, 0},
        InStepCase{"BehindAStrayCharacter", "5" + kReplyTo3, 0},
        InStepCase{"AfterGarbageAndAnEmptyLine", "x!\r\r" + kReplyTo3, 0},
        InStepCase{"GarbledWithTheRightIdIsTheReply", Garbled(kReplyTo3), qel::kErrReplyCrc},
        InStepCase{"OnlyOlderRepliesUntilTheTimeOut", wire::StatusReply(0x0A, 2),
                   FakeChannel::kSilentCode},
        InStepCase{"EndlessCharactersWithoutALineEnd", std::string(3000, '0'),
                   qel::kErrReplyMessageId}),
    [](const testing::TestParamInfo<InStepCase>& tested) { return tested.param.name; });

TEST(Exchange, WithoutRetriesAFailedExchangeIsNotSentAgain) {
    ProtocolOnFakeChannel rig;
    rig.channel.QueueReadFailure(FakeChannel::kSilentCode);
    unsigned char reply[kResetReplyBytes + 1];
    EXPECT_EQ(rig.access.BareExchange(0x0A, reply, kResetReplyBytes, false),
              FakeChannel::kSilentCode);
    EXPECT_EQ(rig.channel.Writes().size(), 2u);
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
