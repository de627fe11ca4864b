// Each fault of the device model and of its line does what it says, to the request it names and no
// other; the line's timing runs on the test's own clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <memory>

#include "case_name.h"
#include "device_link.h"
#include "device_model.h"
#include "wire_check.h"
#include "wire_text.h"

namespace {

using wire::Bytes;

constexpr std::uint32_t kPage = 0x40100;

bool CrcHolds(const Bytes& reply) {
    const std::uint16_t crc = wire::Crc16Arc(reply.data(), reply.size() - 2);
    return reply[reply.size() - 2] == (crc >> 8) && reply[reply.size() - 1] == (crc & 0xFF);
}

// Three requests: a reset (1), a page write (2), a page read (3).
std::vector<std::optional<std::string>> RunThree(qelsim::DeviceModel& device) {
    return {device.HandleRequest(wire::Request(0x0A, 2)),
            device.HandleRequest(wire::WritePageRequest(3, kPage, Bytes(256, 0x42))),
            device.HandleRequest(wire::ReadPageRequest(4, kPage))};
}

TEST(DeviceFaults, DroppedReplyStillActs) {
    qelsim::DeviceModel device;
    device.Options().dropReplies = {2};
    const auto replies = RunThree(device);
    EXPECT_TRUE(replies[0]);
    EXPECT_FALSE(replies[1]);
    EXPECT_TRUE(replies[2]);
    EXPECT_EQ(device.Memory()[kPage], 0x42);
    EXPECT_EQ(device.Requests()[1].faults, "drop");
    EXPECT_FALSE(device.Requests()[1].answered);
}

TEST(DeviceFaults, CorruptedReplyFailsItsCrcOnly) {
    qelsim::DeviceModel device;
    device.Options().corruptReplies = {1, 3};
    const auto replies = RunThree(device);
    EXPECT_FALSE(CrcHolds(wire::FromHex(*replies[0])));
    EXPECT_TRUE(CrcHolds(wire::FromHex(*replies[1])));
    const Bytes read = wire::FromHex(*replies[2]);
    EXPECT_FALSE(CrcHolds(read));
    EXPECT_EQ(read.size(), 271U);
    EXPECT_EQ(read[13], 0x42);
    EXPECT_EQ(device.Requests()[2].faults, "corrupt");
}

TEST(DeviceFaults, WrongMessageIdInAnOtherwiseSoundReply) {
    qelsim::DeviceModel device;
    device.Options().wrongIdReplies = {2};
    const auto replies = RunThree(device);
    const Bytes reply = wire::FromHex(*replies[1]);
    EXPECT_NE(reply[3], 3);
    EXPECT_TRUE(CrcHolds(reply));
    EXPECT_EQ(wire::FromHex(*replies[2])[3], 4);
}

TEST(DeviceFaults, StatusFaultRefusesWithoutActing) {
    qelsim::DeviceModel device;
    device.Options().failStatusRequests = {1, 2};
    const auto replies = RunThree(device);
    EXPECT_EQ(wire::FromHex(*replies[0])[4], 1);
    EXPECT_EQ(device.ResetCount(), 0U);
    EXPECT_EQ(wire::FromHex(*replies[1])[4], 1);
    EXPECT_EQ(device.Memory()[kPage], 0xFF);
    EXPECT_EQ(wire::FromHex(*replies[2])[4], 0);
    EXPECT_EQ(device.Requests()[1].faults, "status");
}

TEST(DeviceFaults, WriteRefusedAtOneAddressOnly) {
    qelsim::DeviceModel device;
    device.Options().failWriteAddress = kPage;
    const auto refused = device.HandleRequest(wire::WritePageRequest(2, kPage, Bytes(256, 1)));
    const auto accepted =
        device.HandleRequest(wire::WritePageRequest(3, kPage + 256, Bytes(256, 1)));
    EXPECT_EQ(wire::FromHex(*refused)[4], 1);
    EXPECT_EQ(wire::FromHex(*accepted)[4], 0);
    EXPECT_EQ(device.Memory()[kPage], 0xFF);
    EXPECT_EQ(device.Memory()[kPage + 256], 1);
    EXPECT_EQ(wire::FromHex(*device.HandleRequest(wire::ReadPageRequest(4, kPage)))[4], 0);
}

TEST(DeviceFaults, WriteRefusedOnlySoManyTimes) {
    qelsim::DeviceModel device;
    device.Options().failWriteAddress = kPage;
    device.Options().failWriteTimes = 2;
    std::vector<int> statuses;
    for (std::uint8_t id = 2; id < 6; ++id) {
        statuses.push_back(wire::FromHex(*device.HandleRequest(
            wire::WritePageRequest(id, id % 2 ? kPage + 256 : kPage, Bytes(256, id))))[4]);
    }
    // Writes elsewhere do not use up the refusals.
    EXPECT_EQ(statuses, (std::vector<int>{1, 0, 1, 0}));
    EXPECT_EQ(
        wire::FromHex(*device.HandleRequest(wire::WritePageRequest(6, kPage, Bytes(256, 6))))[4],
        0);
    EXPECT_EQ(device.Memory()[kPage], 6);
}

TEST(DeviceFaults, FlippedReadLeavesMemoryAndCrcRight) {
    qelsim::DeviceModel device;
    device.Options().flipReadAddress = kPage;
    device.HandleRequest(wire::WritePageRequest(2, kPage, Bytes(256, 0x42)));
    device.HandleRequest(wire::WritePageRequest(3, kPage + 256, Bytes(256, 0x42)));
    const Bytes flipped = wire::FromHex(*device.HandleRequest(wire::ReadPageRequest(4, kPage)));
    const Bytes plain = wire::FromHex(*device.HandleRequest(wire::ReadPageRequest(5, kPage + 256)));
    ASSERT_EQ(flipped.size(), plain.size());
    EXPECT_TRUE(CrcHolds(flipped));
    EXPECT_EQ(qelsim::ByteSum({flipped.data() + 5, flipped.size() - 7}), 0xA5);
    EXPECT_EQ(std::count(flipped.begin() + 13, flipped.begin() + 13 + 256, 0x42), 255);
    EXPECT_EQ(std::count(plain.begin() + 13, plain.begin() + 13 + 256, 0x42), 256);
    EXPECT_EQ(device.Requests()[2].faults, "flip-read");
    EXPECT_EQ(device.Requests()[3].faults, "");
    EXPECT_EQ(device.Memory()[kPage + 128], 0x42);
    const Bytes crc = wire::FromHex(*device.HandleRequest(wire::CrcRequest(6, kPage, 256)));
    EXPECT_EQ(crc[15] | crc[16] << 8, wire::Crc16Arc(Bytes(256, 0x42)));
}

TEST(DeviceFaults, LyingCrcKeepsItsRecordSound) {
    qelsim::DeviceModel device;
    device.Options().lieAboutCrc16 = true;
    const Bytes reply = wire::FromHex(*device.HandleRequest(wire::CrcRequest(2, 0x40000, 256)));
    EXPECT_EQ(reply[4], 0);
    EXPECT_EQ(qelsim::ByteSum({reply.data() + 5, 12}), 0xA5);
    EXPECT_NE(reply[15] | reply[16] << 8, wire::Crc16Arc(Bytes(256, 0xFF)));
    EXPECT_TRUE(CrcHolds(reply));
    EXPECT_EQ(device.Requests()[0].faults, "lie-crc");
}

TEST(DeviceFaults, FaultsCombineOnOneRequest) {
    qelsim::DeviceModel device;
    device.Options().wrongIdReplies = {1};
    device.Options().corruptReplies = {1};
    device.Options().failStatusRequests = {1};
    const Bytes reply = wire::FromHex(*device.HandleRequest(wire::Request(0x0A, 2)));
    EXPECT_EQ(reply[4], 1);
    EXPECT_NE(reply[3], 2);
    EXPECT_FALSE(CrcHolds(reply));
    EXPECT_EQ(device.Requests()[0].faults, "status,wrong-id,corrupt");
}

TEST(DeviceFaults, UnreadableLinesCountAsRequests) {
    qelsim::DeviceModel device;
    device.Options().dropReplies = {2};
    EXPECT_FALSE(device.HandleRequest("garbage"));
    EXPECT_FALSE(device.HandleRequest(wire::Request(0x0A, 2)));  // request 2
    EXPECT_TRUE(device.HandleRequest(wire::Request(0x0A, 3)));
}

// Silence after a reset, counted in requests.
struct SilenceCase {
    std::uint32_t silentRequests;
    std::vector<bool> answeredAfterReset;  // the next page writes, ids from 3 on
    std::uint8_t pageByteAfter;            // each write fills the page with its id
};

class SilentRequests : public testing::TestWithParam<SilenceCase> {};

TEST_P(SilentRequests, IgnoresThatManyRequests) {
    qelsim::DeviceModel device;
    device.Options().silentRequestsAfterReset = GetParam().silentRequests;
    EXPECT_TRUE(device.HandleRequest(wire::Request(0x0A, 2)));  // the reset itself is answered
    std::uint8_t id = 3;
    for (const bool answered : GetParam().answeredAfterReset) {
        EXPECT_EQ(
            device.HandleRequest(wire::WritePageRequest(id, kPage, Bytes(256, id))).has_value(),
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
                    SilenceCase{qelsim::kForever, {false, false, false}, 0xFF}),
    [](const testing::TestParamInfo<SilenceCase>& tested) {
        return tested.param.silentRequests == qelsim::kForever
                   ? std::string("Forever")
                   : std::to_string(tested.param.silentRequests);
    });

TEST(DeviceFaults, SilenceRestartsWithEveryReset) {
    qelsim::DeviceModel device;
    device.Options().silentRequestsAfterReset = 1;
    EXPECT_TRUE(device.HandleRequest(wire::Request(0x0A, 2)));
    EXPECT_FALSE(device.HandleRequest(wire::Request(0x0A, 3)));  // ignored: no reset
    EXPECT_TRUE(device.HandleRequest(wire::Request(0x0A, 4)));
    EXPECT_FALSE(device.HandleRequest(wire::Request(0x06, 5)));
    EXPECT_EQ(device.ResetCount(), 2U);
    EXPECT_EQ(device.Requests()[1].faults, "silent");
}

TEST(DeviceFaults, SilenceForATimeFollowsTheDeviceClock) {
    auto now = qelsim::WallTime{} + std::chrono::hours(24 * 365 * 30);
    qelsim::DeviceOptions options;
    options.silentTimeAfterReset = std::chrono::seconds(3);
    options.clock = [&now] { return now; };
    qelsim::DeviceModel device(options);
    EXPECT_TRUE(device.HandleRequest(wire::Request(0x0A, 2)));
    now += std::chrono::milliseconds(2999);
    EXPECT_FALSE(device.HandleRequest(wire::Request(0x06, 3)));
    now += std::chrono::milliseconds(1);
    EXPECT_TRUE(device.HandleRequest(wire::Request(0x06, 4)));
}

TEST(DeviceFaults, NumberingGoesOnPastAShortHistory) {
    qelsim::DeviceOptions options;
    options.requestHistory = 4;
    options.dropReplies = {10};
    qelsim::DeviceModel device(options);
    for (std::uint8_t id = 2; id < 11; ++id) {
        EXPECT_TRUE(device.HandleRequest(wire::Request(0x06, id)));
    }
    EXPECT_FALSE(device.HandleRequest(wire::Request(0x06, 11)));
    EXPECT_EQ(device.RequestCount(), 10U);
    EXPECT_LE(device.Requests().size(), 4U);
    EXPECT_EQ(device.Requests().back().messageId, 11);
}

TEST(DeviceFaults, FaultsMayChangeBetweenRequests) {
    qelsim::DeviceModel device;
    EXPECT_TRUE(device.HandleRequest(wire::Request(0x0A, 2)));
    device.Options().dropReplies.insert(2);
    EXPECT_FALSE(device.HandleRequest(wire::Request(0x0A, 3)));
}

// ---- The line: what leaves when, on the test's clock ----

using std::chrono::milliseconds;

std::string ResetReply(std::uint8_t id) {
    return wire::StatusReply(0x0A, id);
}

class LinkTest : public testing::Test {
  protected:
    // Starts the line with the faults and device options the test has set.
    qelsim::DeviceLink& Start() {
        m_device = std::make_unique<qelsim::DeviceModel>(m_deviceOptions);
        m_simulated = std::make_unique<qelsim::SimulatedDevice>(*m_device, m_outputs, m_faults);
        m_link = std::make_unique<qelsim::DeviceLink>(*m_simulated, m_start);
        return *m_link;
    }
    qelsim::SteadyTime At(int ms) const { return m_start + milliseconds(ms); }
    void Send(const std::string& lines, int ms = 0) { m_link->Receive(lines, At(ms)); }

    // Runs the clock from `from` through every event; the texts that left and when.
    std::vector<std::pair<int, std::string>> RunFrom(int from = 0) {
        std::vector<std::pair<int, std::string>> sent;
        std::optional<qelsim::SteadyTime> now = At(from);
        while (now) {
            m_link->Process(*now);
            if (std::string text = m_link->TakeDue(*now); !text.empty()) {
                sent.emplace_back(static_cast<int>((*now - m_start) / milliseconds(1)), text);
            }
            now = m_link->NextEvent();
        }
        return sent;
    }

    qelsim::TransportFaults m_faults;
    qelsim::DeviceOptions m_deviceOptions;
    const qelsim::SteadyTime m_start = std::chrono::steady_clock::now();
    qelsim::SimOutputs m_outputs{"", ""};
    std::unique_ptr<qelsim::DeviceModel> m_device;
    std::unique_ptr<qelsim::SimulatedDevice> m_simulated;
    std::unique_ptr<qelsim::DeviceLink> m_link;
};

// Two page writes and a reset arrive together; when does each reply leave?
struct TimingCase {
    const char* name;
    std::uint32_t latencyMs;
    std::uint32_t flashMs;
    std::uint32_t replyDelayMs;
    std::set<std::uint32_t> refused;
    std::vector<int> leaveAt;
};

void PrintTo(const TimingCase& c, std::ostream* out) {
    *out << c.name;
}

class LinkTiming : public LinkTest, public testing::WithParamInterface<TimingCase> {};

TEST_P(LinkTiming, RepliesLeaveWhenTheyAreDue) {
    m_faults.latencyMs = GetParam().latencyMs;
    m_faults.flashMs = GetParam().flashMs;
    m_faults.replyDelayMs = GetParam().replyDelayMs;
    m_deviceOptions.failStatusRequests = GetParam().refused;
    Start();
    Send(wire::WritePageRequest(2, kPage, Bytes(256, 1)) + "\r" +
         wire::WritePageRequest(3, kPage + 256, Bytes(256, 2)) + "\r" + wire::Request(0x0A, 4) +
         "\r");
    std::vector<int> leaveAt;
    for (const auto& [at, text] : RunFrom()) {
        leaveAt.insert(leaveAt.end(), text.size() / 15, at);
    }
    EXPECT_EQ(leaveAt, GetParam().leaveAt);
    EXPECT_EQ(m_device->RequestCount(), 3U);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkTiming,
    testing::Values(TimingCase{"AtOnce", 0, 0, 0, {}, {0, 0, 0}},
                    // The link delays every reply alike; the device goes on reading meanwhile.
                    TimingCase{"Latency", 50, 0, 0, {}, {50, 50, 50}},
                    // A device busy writing flash reads the next request only when done.
                    TimingCase{"Flash", 0, 30, 0, {}, {30, 60, 60}},
                    TimingCase{"FlashAndLatency", 50, 30, 0, {}, {80, 110, 110}},
                    TimingCase{"RefusedWriteTakesNoFlashTime", 0, 30, 0, {1}, {0, 30, 30}},
                    TimingCase{"ReplyDelayKeepsTheDeviceBusy", 0, 0, 10, {}, {10, 20, 30}}),
    CaseName());

TEST_F(LinkTest, LatencyPipelinesRequestsThatArriveApart) {
    m_faults.latencyMs = 20;
    Start();
    Send(wire::Request(0x0A, 2) + "\r", 0);
    Send(wire::Request(0x0A, 3) + "\r", 5);
    m_link->Process(At(5));
    EXPECT_EQ(m_device->RequestCount(), 2U);
    EXPECT_EQ(m_link->TakeDue(At(19)), "");
    EXPECT_EQ(m_link->NextEvent(), At(20));
    EXPECT_EQ(RunFrom(20),
              (std::vector<std::pair<int, std::string>>{{20, ResetReply(2)}, {25, ResetReply(3)}}));
}

// Faults that change what the host finds on the line after a reply.
struct ShapeCase {
    const char* name;
    std::set<std::uint32_t> stray;
    std::set<std::uint32_t> duplicate;
    std::set<std::uint32_t> late;
    std::string afterFirst;   // on the line once request 1 is answered
    std::string afterSecond;  // and once request 2 is
};

void PrintTo(const ShapeCase& c, std::ostream* out) {
    *out << c.name;
}

class LineShape : public LinkTest, public testing::WithParamInterface<ShapeCase> {};

TEST_P(LineShape, PutsOnTheLineWhatItSays) {
    m_faults.strayAfter = GetParam().stray;
    m_faults.duplicateReplies = GetParam().duplicate;
    m_faults.lateReplies = GetParam().late;
    Start();
    Send(wire::Request(0x0A, 2) + "\r");
    m_link->Process(At(0));
    EXPECT_EQ(m_link->TakeDue(At(0)), GetParam().afterFirst);
    Send(wire::Request(0x0A, 3) + "\r", 1);
    m_link->Process(At(1));
    EXPECT_EQ(m_link->TakeDue(At(1)), GetParam().afterSecond);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineShape,
    testing::Values(
        ShapeCase{"Clean", {}, {}, {}, ResetReply(2), ResetReply(3)},
        ShapeCase{"StrayAfterTheFirst", {1}, {}, {}, ResetReply(2) + "5", ResetReply(3)},
        ShapeCase{
            "DuplicateOfTheSecond", {}, {2}, {}, ResetReply(2), ResetReply(3) + ResetReply(3)},
        ShapeCase{"AllThreeHeldTogether",
                  {1},
                  {1},
                  {1},
                  "",
                  ResetReply(2) + ResetReply(2) + "5" + ResetReply(3)}),
    CaseName());

TEST_F(LinkTest, CloseOnResetEndsOnceTheReplyHasLeftAndReadsNoMore) {
    m_faults.closeOnReset = true;
    m_faults.latencyMs = 10;
    Start();
    Send(wire::WritePageRequest(2, kPage, Bytes(256, 1)) + "\r" + wire::Request(0x0A, 3) + "\r" +
         wire::Request(0x06, 4) + "\r");
    m_link->Process(At(0));
    EXPECT_EQ(m_link->Ended(), std::nullopt);
    EXPECT_EQ(RunFrom(), (std::vector<std::pair<int, std::string>>{
                             {10, wire::StatusReply(0x18, 2) + ResetReply(3)}}));
    EXPECT_EQ(m_link->Ended(), qelsim::SessionEnd::kClosedOnReset);
    EXPECT_EQ(m_device->RequestCount(), 2U);  // the clock read went down with the line
    EXPECT_EQ(m_device->LastBootVerdict().rfind("boot failed", 0), 0U);
}

TEST_F(LinkTest, ARefusedResetKeepsTheLine) {
    m_faults.closeOnReset = true;
    m_deviceOptions.failStatusRequests = {1};
    Start();
    Send(wire::Request(0x0A, 2) + "\r" + wire::Request(0x0A, 3) + "\r");
    EXPECT_EQ(RunFrom().size(), 1U);
    EXPECT_EQ(m_device->RequestCount(), 2U);
    EXPECT_EQ(m_link->Ended(), qelsim::SessionEnd::kClosedOnReset);
}

TEST_F(LinkTest, IdleCountsFromTheLastByteEitherWayAndNeverWhileAReplyWaits) {
    m_faults.latencyMs = 50;
    Start();
    const milliseconds limit(1000);
    EXPECT_EQ(m_link->IdleDeadline(limit), At(1000));
    EXPECT_EQ(m_link->IdleDeadline(milliseconds(0)), std::nullopt);
    Send("5A0A", 200);  // half a request is no reason to wait for ever
    EXPECT_EQ(m_link->IdleDeadline(limit), std::nullopt);  // not yet read
    m_link->Process(At(200));
    EXPECT_EQ(m_link->IdleDeadline(limit), At(1200));
    Send("7D024B92\r", 300);
    m_link->Process(At(300));
    EXPECT_EQ(m_link->IdleDeadline(limit), std::nullopt);
    EXPECT_EQ(m_link->TakeDue(At(350)), ResetReply(2));
    EXPECT_EQ(m_link->IdleDeadline(limit), At(1350));
}

// ---- Line noise ----

std::string Noisy(double rate, std::uint64_t seed, std::uint32_t stream, std::string text) {
    qelsim::BitNoise noise(rate, seed, stream);
    noise.Apply(text);
    return text;
}

TEST(BitNoise, FlipsFollowTheSeedAndTheStreamAlone) {
    const std::string clean(1000, 'A');
    EXPECT_EQ(Noisy(0, 1, 0, clean), clean);
    EXPECT_EQ(Noisy(1, 1, 0, "\x0F\xF0"), "\xF0\x0F");
    const std::string struck = Noisy(0.01, 7, 0, clean);
    EXPECT_NE(struck, clean);
    EXPECT_EQ(Noisy(0.01, 7, 0, clean), struck);
    EXPECT_NE(Noisy(0.01, 8, 0, clean), struck);
    EXPECT_NE(Noisy(0.01, 7, 1, clean), struck);
    // However the bytes are cut up, the same bits flip.
    qelsim::BitNoise pieces(0.01, 7, 0);
    std::string first = clean.substr(0, 333);
    std::string second = clean.substr(333);
    pieces.Apply(first);
    pieces.Apply(second);
    EXPECT_EQ(first + second, struck);
}

TEST(BitNoise, FlipsAtTheRateAsked) {
    qelsim::BitNoise noise(0.01, 42, 0);
    std::string text(100000, '\0');
    const std::uint64_t flips = noise.Apply(text);
    std::uint64_t ones = 0;
    for (const char c : text) {
        ones += static_cast<std::uint64_t>(std::bitset<8>(static_cast<unsigned char>(c)).count());
    }
    EXPECT_EQ(flips, ones);
    EXPECT_EQ(noise.Flips(), flips);
    EXPECT_NEAR(static_cast<double>(flips), 8000.0, 600.0);  // 6.7 standard deviations
}

TEST_F(LinkTest, NoiseStrikesWhatTheDeviceReadsAndWhatTheHostGets) {
    m_faults.noiseBitErrorRate = 0.005;  // about two requests in five meet a flip
    m_faults.noiseSeed = 11;
    Start();
    constexpr std::size_t kRequests = 200;
    for (std::size_t i = 0; i < kRequests; ++i) {
        Send(wire::Request(0x0A, 2) + "\r", static_cast<int>(i));
    }
    std::size_t replies = 0;
    std::size_t struck = 0;
    for (const auto& [at, text] : RunFrom()) {
        ++replies;
        struck += text != ResetReply(2) ? 1 : 0;
    }
    const auto& records = m_device->Requests();
    EXPECT_GT(std::count_if(records.begin(), records.end(),
                            [](const auto& record) { return record.faults == "unreadable"; }),
              0);
    EXPECT_LT(replies, kRequests);
    EXPECT_GT(struck, 0U);
    EXPECT_LT(struck, replies);
    EXPECT_GT(m_simulated->noiseToDevice.Flips(), 0U);
}

}  // namespace
