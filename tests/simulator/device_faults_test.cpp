// Each fault of the device model does what it says, to the request it names and no other.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_model.h"
#include "request_builder.h"

namespace {

using simtest::Bytes;
using simtest::ReplyBytes;
using simtest::RequestLine;

constexpr std::uint32_t kPage = 0x40100;

bool CrcHolds(const Bytes& reply) {
    const std::uint16_t crc = qelsim::Crc16Arc({reply.data(), reply.size() - 2});
    return reply[reply.size() - 2] == (crc >> 8) && reply[reply.size() - 1] == (crc & 0xFF);
}

// Three requests: a reset (1), a page write (2), a page read (3).
std::vector<std::optional<std::string>> RunThree(qelsim::DeviceModel& device) {
    return {device.HandleRequest(RequestLine(0x0A, 2)),
            device.HandleRequest(simtest::WritePageLine(3, kPage, Bytes(256, 0x42))),
            device.HandleRequest(simtest::ReadPageLine(4, kPage))};
}

TEST(DeviceFaults, DroppedReplyStillActs) {
    qelsim::DeviceOptions options;
    options.dropReplies = {2};
    qelsim::DeviceModel device(options);
    const auto replies = RunThree(device);
    EXPECT_TRUE(replies[0]);
    EXPECT_FALSE(replies[1]);
    EXPECT_TRUE(replies[2]);
    EXPECT_EQ(device.Memory()[kPage], 0x42);
    EXPECT_EQ(device.Requests()[1].faults, "drop");
    EXPECT_FALSE(device.Requests()[1].answered);
}

TEST(DeviceFaults, CorruptedReplyFailsItsCrcOnly) {
    qelsim::DeviceOptions options;
    options.corruptReplies = {1, 3};
    qelsim::DeviceModel device(options);
    const auto replies = RunThree(device);
    EXPECT_FALSE(CrcHolds(ReplyBytes(*replies[0])));
    EXPECT_TRUE(CrcHolds(ReplyBytes(*replies[1])));
    const Bytes read = ReplyBytes(*replies[2]);
    EXPECT_FALSE(CrcHolds(read));
    EXPECT_EQ(read.size(), 271U);
    EXPECT_EQ(read[13], 0x42);
    EXPECT_EQ(device.Requests()[2].faults, "corrupt");
}

TEST(DeviceFaults, WrongMessageIdInAnOtherwiseSoundReply) {
    qelsim::DeviceOptions options;
    options.wrongIdReplies = {2};
    qelsim::DeviceModel device(options);
    const auto replies = RunThree(device);
    const Bytes reply = ReplyBytes(*replies[1]);
    EXPECT_NE(reply[3], 3);
    EXPECT_TRUE(CrcHolds(reply));
    EXPECT_EQ(ReplyBytes(*replies[2])[3], 4);
}

TEST(DeviceFaults, StatusFaultRefusesWithoutActing) {
    qelsim::DeviceOptions options;
    options.failStatusRequests = {1, 2};
    qelsim::DeviceModel device(options);
    const auto replies = RunThree(device);
    EXPECT_EQ(ReplyBytes(*replies[0])[4], 1);
    EXPECT_EQ(device.ResetCount(), 0U);
    EXPECT_EQ(ReplyBytes(*replies[1])[4], 1);
    EXPECT_EQ(device.Memory()[kPage], 0xFF);
    EXPECT_EQ(ReplyBytes(*replies[2])[4], 0);
    EXPECT_EQ(device.Requests()[1].faults, "status");
}

TEST(DeviceFaults, WriteRefusedAtOneAddressOnly) {
    qelsim::DeviceOptions options;
    options.failWriteAddress = kPage;
    qelsim::DeviceModel device(options);
    const auto refused = device.HandleRequest(simtest::WritePageLine(2, kPage, Bytes(256, 1)));
    const auto accepted =
        device.HandleRequest(simtest::WritePageLine(3, kPage + 256, Bytes(256, 1)));
    EXPECT_EQ(ReplyBytes(*refused)[4], 1);
    EXPECT_EQ(ReplyBytes(*accepted)[4], 0);
    EXPECT_EQ(device.Memory()[kPage], 0xFF);
    EXPECT_EQ(device.Memory()[kPage + 256], 1);
    EXPECT_EQ(ReplyBytes(*device.HandleRequest(simtest::ReadPageLine(4, kPage)))[4], 0);
}

TEST(DeviceFaults, WriteRefusedOnlySoManyTimes) {
    qelsim::DeviceOptions options;
    options.failWriteAddress = kPage;
    options.failWriteTimes = 2;
    qelsim::DeviceModel device(options);
    std::vector<int> statuses;
    for (std::uint8_t id = 2; id < 6; ++id) {
        statuses.push_back(ReplyBytes(*device.HandleRequest(
            simtest::WritePageLine(id, id % 2 ? kPage + 256 : kPage, Bytes(256, id))))[4]);
    }
    // Writes elsewhere do not use up the refusals.
    EXPECT_EQ(statuses, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(ReplyBytes(*device.HandleRequest(simtest::WritePageLine(6, kPage, Bytes(256, 6))))[4],
              0);
    EXPECT_EQ(device.Memory()[kPage], 6);
}

TEST(DeviceFaults, FlippedReadLeavesMemoryAndCrcRight) {
    qelsim::DeviceOptions options;
    options.flipReadAddress = kPage;
    qelsim::DeviceModel device(options);
    device.HandleRequest(simtest::WritePageLine(2, kPage, Bytes(256, 0x42)));
    device.HandleRequest(simtest::WritePageLine(3, kPage + 256, Bytes(256, 0x42)));
    const Bytes flipped = ReplyBytes(*device.HandleRequest(simtest::ReadPageLine(4, kPage)));
    const Bytes plain = ReplyBytes(*device.HandleRequest(simtest::ReadPageLine(5, kPage + 256)));
    ASSERT_EQ(flipped.size(), plain.size());
    EXPECT_TRUE(CrcHolds(flipped));
    EXPECT_EQ(qelsim::ByteSum({flipped.data() + 5, flipped.size() - 7}), 0xA5);
    EXPECT_EQ(std::count(flipped.begin() + 13, flipped.begin() + 13 + 256, 0x42), 255);
    EXPECT_EQ(std::count(plain.begin() + 13, plain.begin() + 13 + 256, 0x42), 256);
    EXPECT_EQ(device.Requests()[2].faults, "flip-read");
    EXPECT_EQ(device.Requests()[3].faults, "");
    EXPECT_EQ(device.Memory()[kPage + 128], 0x42);
    const Bytes crc = ReplyBytes(*device.HandleRequest(simtest::Crc16Line(6, kPage, 256)));
    EXPECT_EQ(crc[15] | crc[16] << 8, qelsim::Crc16Arc(Bytes(256, 0x42)));
}

TEST(DeviceFaults, LyingCrcKeepsItsRecordSound) {
    qelsim::DeviceOptions options;
    options.lieAboutCrc16 = true;
    qelsim::DeviceModel device(options);
    const Bytes reply = ReplyBytes(*device.HandleRequest(simtest::Crc16Line(2, 0x40000, 256)));
    EXPECT_EQ(reply[4], 0);
    EXPECT_EQ(qelsim::ByteSum({reply.data() + 5, 12}), 0xA5);
    EXPECT_NE(reply[15] | reply[16] << 8, qelsim::Crc16Arc(Bytes(256, 0xFF)));
    EXPECT_TRUE(CrcHolds(reply));
    EXPECT_EQ(device.Requests()[0].faults, "lie-crc");
}

TEST(DeviceFaults, FaultsCombineOnOneRequest) {
    qelsim::DeviceOptions options;
    options.wrongIdReplies = {1};
    options.corruptReplies = {1};
    options.failStatusRequests = {1};
    qelsim::DeviceModel device(options);
    const Bytes reply = ReplyBytes(*device.HandleRequest(RequestLine(0x0A, 2)));
    EXPECT_EQ(reply[4], 1);
    EXPECT_NE(reply[3], 2);
    EXPECT_FALSE(CrcHolds(reply));
    EXPECT_EQ(device.Requests()[0].faults, "status,wrong-id,corrupt");
}

TEST(DeviceFaults, UnreadableLinesCountAsRequests) {
    qelsim::DeviceOptions options;
    options.dropReplies = {2};
    qelsim::DeviceModel device(options);
    EXPECT_FALSE(device.HandleRequest("garbage"));
    EXPECT_FALSE(device.HandleRequest(RequestLine(0x0A, 2)));  // request 2
    EXPECT_TRUE(device.HandleRequest(RequestLine(0x0A, 3)));
}

// Silence after a reset, counted in requests.
struct SilenceCase {
    std::uint32_t silentRequests;
    std::vector<bool> answeredAfterReset;  // the next page writes, ids from 3 on
    std::uint8_t pageByteAfter;            // each write fills the page with its id
};

void PrintTo(const SilenceCase& c, std::ostream* out) {
    *out << c.silentRequests << " silent requests";
}

class SilentRequests : public testing::TestWithParam<SilenceCase> {};

TEST_P(SilentRequests, IgnoresThatManyRequests) {
    qelsim::DeviceOptions options;
    options.silentRequestsAfterReset = GetParam().silentRequests;
    qelsim::DeviceModel device(options);
    EXPECT_TRUE(device.HandleRequest(RequestLine(0x0A, 2)));  // the reset itself is answered
    std::uint8_t id = 3;
    for (const bool answered : GetParam().answeredAfterReset) {
        EXPECT_EQ(
            device.HandleRequest(simtest::WritePageLine(id, kPage, Bytes(256, id))).has_value(),
            answered)
            << "id " << int(id);
        ++id;
    }
    // Ignored requests are not acted on: memory holds the last answered write.
    EXPECT_EQ(device.Memory()[kPage], GetParam().pageByteAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, SilentRequests,
    testing::Values(SilenceCase{0, {true, true}, 4}, SilenceCase{2, {false, false, true, true}, 6},
                    SilenceCase{qelsim::kForever, {false, false, false}, 0xFF}));

TEST(DeviceFaults, SilenceRestartsWithEveryReset) {
    qelsim::DeviceOptions options;
    options.silentRequestsAfterReset = 1;
    qelsim::DeviceModel device(options);
    EXPECT_TRUE(device.HandleRequest(RequestLine(0x0A, 2)));
    EXPECT_FALSE(device.HandleRequest(RequestLine(0x0A, 3)));  // ignored: no reset
    EXPECT_TRUE(device.HandleRequest(RequestLine(0x0A, 4)));
    EXPECT_FALSE(device.HandleRequest(RequestLine(0x06, 5)));
    EXPECT_EQ(device.ResetCount(), 2U);
    EXPECT_EQ(device.Requests()[1].faults, "silent");
}

TEST(DeviceFaults, SilenceForATimeFollowsTheDeviceClock) {
    auto now = qelsim::WallTime{} + std::chrono::hours(24 * 365 * 30);
    qelsim::DeviceOptions options;
    options.silentTimeAfterReset = std::chrono::seconds(3);
    options.clock = [&now] { return now; };
    qelsim::DeviceModel device(options);
    EXPECT_TRUE(device.HandleRequest(RequestLine(0x0A, 2)));
    now += std::chrono::milliseconds(2999);
    EXPECT_FALSE(device.HandleRequest(RequestLine(0x06, 3)));
    now += std::chrono::milliseconds(1);
    EXPECT_TRUE(device.HandleRequest(RequestLine(0x06, 4)));
}

TEST(DeviceFaults, NumberingGoesOnPastAShortHistory) {
    qelsim::DeviceOptions options;
    options.requestHistory = 4;
    options.dropReplies = {10};
    qelsim::DeviceModel device(options);
    for (std::uint8_t id = 2; id < 11; ++id) {
        EXPECT_TRUE(device.HandleRequest(RequestLine(0x06, id)));
    }
    EXPECT_FALSE(device.HandleRequest(RequestLine(0x06, 11)));
    EXPECT_EQ(device.RequestCount(), 10U);
    EXPECT_LE(device.Requests().size(), 4U);
    EXPECT_EQ(device.Requests().back().messageId, 11);
}

TEST(DeviceFaults, FaultsMayChangeBetweenRequests) {
    qelsim::DeviceModel device;
    EXPECT_TRUE(device.HandleRequest(RequestLine(0x0A, 2)));
    device.Options().dropReplies.insert(2);
    EXPECT_FALSE(device.HandleRequest(RequestLine(0x0A, 3)));
}

}  // namespace
