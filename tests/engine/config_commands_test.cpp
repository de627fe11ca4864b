#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "protocol_access.h"
#include "protocol_on_fake_channel.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

using wire::Bytes;

Bytes Counting(std::size_t size, std::uint8_t from) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(from + i);
    }
    return bytes;
}

// One of the four operations: what it sends, how much it reads and what its reply is.
struct BlockOperation {
    const char* name;
    std::uint8_t command;
    int requestCharacters;
    int readCharacters;
    // Runs the operation; for reads, the record read into comes back through block.
    std::function<int(QelProtocol&, Bytes& block)> run;
    // The success reply for message id 2, and the request payload for writes.
    std::function<std::string(std::uint8_t id)> goodReply;
    Bytes payload;
};

const Bytes kConfiguration = Counting(34, 0x40);
const Bytes kClock = Counting(16, 0xE0);

const BlockOperation kOperations[] = {
    {"ReadConfiguration",
     0x02,
     12,
     81,
     [](QelProtocol& p, Bytes& block) {
         block.assign(34, 0xAA);
         return p.ReadConfiguration(reinterpret_cast<_qel_configuration*>(block.data()));
     },
     [](std::uint8_t id) { return wire::BlockReply(0x02, id, kConfiguration); },
     {}},
    {"WriteConfiguration", 0x03, 80, 15,
     [](QelProtocol& p, Bytes&) {
         _qel_configuration configuration;
         std::copy(kConfiguration.begin(), kConfiguration.end(), configuration.bytes);
         return p.WriteConfiguration(&configuration);
     },
     [](std::uint8_t id) { return wire::StatusReply(0x03, id); }, kConfiguration},
    {"ReadSystemTime",
     0x06,
     12,
     45,
     [](QelProtocol& p, Bytes& block) {
         block.assign(16, 0xAA);
         return p.ReadSystemTime(reinterpret_cast<_qel_system_time*>(block.data()));
     },
     [](std::uint8_t id) { return wire::BlockReply(0x06, id, kClock); },
     {}},
    {"WriteSystemTime", 0x08, 44, 15,
     [](QelProtocol& p, Bytes&) {
         _qel_system_time clock;
         std::copy(kClock.begin(), kClock.end(), clock.bytes);
         return p.WriteSystemTime(&clock);
     },
     [](std::uint8_t id) { return wire::StatusReply(0x08, id); }, kClock},
};

class BlockCommand : public testing::TestWithParam<BlockOperation> {
  protected:
    bool IsRead() const { return GetParam().payload.empty(); }
    // The expected request text for message id 2.
    std::string Request() const { return wire::Request(GetParam().command, 2, GetParam().payload); }
    const Bytes& Block() const { return GetParam().command == 0x02 ? kConfiguration : kClock; }
};

TEST_P(BlockCommand, SendsItsFrameReadsItsReplyAndNotifiesTheWindow) {
    const std::string reply = GetParam().goodReply(2);
    TraceRecorder window;
    ProtocolOnFakeChannel rig({reply}, window.Window());
    Bytes block;
    EXPECT_EQ(GetParam().run(rig.protocol, block), 0);

    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{Request(), "\r"}));
    EXPECT_EQ(static_cast<int>(rig.channel.Writes()[0].size()), GetParam().requestCharacters);
    ASSERT_EQ(rig.channel.Calls().size(), 3u);
    EXPECT_EQ(rig.channel.Calls()[2].length, GetParam().readCharacters);
    if (IsRead()) {
        EXPECT_EQ(block, Block());
    }

    ASSERT_EQ(window.Received().size(), 2u);
    EXPECT_EQ(window.Received()[0].message, 0x401u);
    EXPECT_EQ(
        window.Received()[0].wParam,
        (static_cast<std::uintptr_t>(GetParam().requestCharacters) << 16) | GetParam().command);
    EXPECT_EQ(window.Received()[0].text, Request());
    EXPECT_EQ(window.Received()[1].message, 0x401u);
    EXPECT_EQ(window.Received()[1].wParam, GetParam().command + 0x80u);
    EXPECT_EQ(window.Received()[1].text, reply);
}

TEST_P(BlockCommand, WithoutAWindowTheExchangeIsTheSame) {
    ProtocolOnFakeChannel rig({GetParam().goodReply(2)});
    Bytes block;
    testing::internal::CaptureStdout();
    EXPECT_EQ(GetParam().run(rig.protocol, block), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{Request(), "\r"}));
}

// A spoilt reply: the result, and a read leaves the caller's record as it was.
struct ReplyFault {
    const char* name;
    std::function<std::string(std::string good)> spoil;
    int result;
};

const ReplyFault kFaults[] = {
    {"EarlierId", [](std::string t) { return t.replace(6, 2, "01"); }, qel::kErrReplyMessageId},
    {"NoCr", [](std::string t) { return t.replace(t.size() - 1, 1, "0"); },
     qel::kErrReplyTerminator},
    {"BadCrc",
     [](std::string t) { return t.replace(t.size() - 2, 1, t[t.size() - 2] == 'F' ? "E" : "F"); },
     qel::kErrReplyCrc},
    {"NotHex", [](std::string t) { return t.replace(10, 1, "G"); }, qel::kErrReplyNotHex},
};

TEST_P(BlockCommand, ASpoiltReplyFailsWithTheFirstBrokenCheckAndKeepsTheRecord) {
    for (const ReplyFault& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        ProtocolOnFakeChannel rig({fault.spoil(GetParam().goodReply(2))});
        Bytes block;
        EXPECT_EQ(GetParam().run(rig.protocol, block), fault.result);
        if (IsRead()) {
            EXPECT_EQ(block, Bytes(block.size(), 0xAA));
        }
    }
}

TEST_P(BlockCommand, AFailedWriteSuppressesTheFollowingStepsAndNotifications) {
    for (int failing = 0; failing < 2; ++failing) {
        TraceRecorder window;
        ProtocolOnFakeChannel rig({}, window.Window());
        rig.channel.FailWrite(failing, 5024);
        Bytes block;
        EXPECT_EQ(GetParam().run(rig.protocol, block), 5024);
        EXPECT_EQ(static_cast<int>(rig.channel.Calls().size()), failing + 1);
        EXPECT_EQ(window.Received().size(), 1u);  // only the one before sending
    }
    TraceRecorder window;
    ProtocolOnFakeChannel silent({}, window.Window());
    Bytes block;
    EXPECT_EQ(GetParam().run(silent.protocol, block), FakeChannel::kSilentCode);
    EXPECT_EQ(window.Received().size(), 1u);
}

TEST_P(BlockCommand, UsesIdOneAfterId254) {
    ProtocolOnFakeChannel rig({GetParam().goodReply(1)});
    rig.access.SetMsgId(254);
    Bytes block;
    EXPECT_EQ(GetParam().run(rig.protocol, block), 0);
    EXPECT_EQ(rig.channel.Writes()[0].substr(6, 2), "01");
}

INSTANTIATE_TEST_SUITE_P(All, BlockCommand, testing::ValuesIn(kOperations), CaseName());

TEST(ReadConfiguration, HandsOnANonZeroFourthByteAsTheFirstByteOfTheBlock) {
    Bytes block = kConfiguration;
    block[0] = 0x07;  // where other replies carry their status
    ProtocolOnFakeChannel rig({wire::BlockReply(0x02, 2, block)});
    _qel_configuration configuration{};
    EXPECT_EQ(rig.protocol.ReadConfiguration(&configuration), 0);
    EXPECT_EQ(Bytes(configuration.bytes, configuration.bytes + 34), block);
}

TEST(WriteCommands, ARefusingStatusByteIs5007) {
    ProtocolOnFakeChannel rig({wire::StatusReply(0x08, 2, 1), wire::StatusReply(0x03, 3, 0x80)});
    const _qel_system_time clock{};
    const _qel_configuration configuration{};
    EXPECT_EQ(rig.protocol.WriteSystemTime(&clock), qel::kErrReplyStatus);
    EXPECT_EQ(rig.protocol.WriteConfiguration(&configuration), qel::kErrReplyStatus);
}

}  // namespace
