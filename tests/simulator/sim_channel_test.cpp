// The in-process channel against the real engine: the host's own Reset exchange reaches the
// device model and comes back.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "expected_image.h"
#include "qel_protocol.h"
#include "sim_channel.h"
#include "sleep_recorder.h"

namespace {

// The upgrade of the image of "abc" at 0x3000 into a device with the given faults, with pauses
// recorded instead of slept.
struct AbcUpgrade {
    AbcUpgrade(qelsim::DeviceOptions options, int verifyMethod, int runMode)
        : device(std::move(options)), protocol(&channel, verifyMethod, runMode, nullptr) {
        std::vector<char> firmware(0x80000, static_cast<char>(0xFF));
        firmware[0x3000] = 'a';
        firmware[0x3001] = 'b';
        firmware[0x3002] = 'c';
        EXPECT_EQ(protocol.PrepareDataBuffer(firmware.data(), 0x3000, 0x3003), 0);
        protocol.ResetUpgrade();
    }
    std::vector<std::uint8_t> ImageInDevice() const {
        const auto start = device.Memory().begin() + 0x40000;
        return {start, start + 256};
    }

    SleepRecorder sleeps;
    qelsim::DeviceModel device;
    SimChannel channel{device};
    QelProtocol protocol;
};

TEST(SimChannel, FullUpgradeStoresTheImageAndItBoots) {
    AbcUpgrade upgrade({}, 2, 1);
    EXPECT_EQ(upgrade.protocol.Execute(), 0);
    EXPECT_EQ(upgrade.ImageInDevice(), expected::AbcImage());
    EXPECT_EQ(upgrade.device.LastBootVerdict(), "boot ok");
    EXPECT_EQ(upgrade.device.ResetCount(), 1U);
}

TEST(SimChannel, LyingDeviceFailsTheCrcVerification) {
    qelsim::DeviceOptions options;
    options.lieAboutCrc16 = true;
    AbcUpgrade upgrade(options, 1, 1);
    EXPECT_EQ(upgrade.protocol.Execute(), 5008);
    EXPECT_EQ(upgrade.device.ResetCount(), 0U);
}

TEST(SimChannel, BlindModeWaitsForADeviceThatIsSilentAfterItsReset) {
    qelsim::DeviceOptions options;
    options.silentRequestsAfterReset = 3;
    AbcUpgrade upgrade(options, 1, 5);
    EXPECT_EQ(upgrade.protocol.Execute(), 0);
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{10000, 60000, 60000, 60000}));
    EXPECT_EQ(upgrade.device.LastBootVerdict(), "boot ok");
}

TEST(SimChannel, ResetExchangeWithTheEngine) {
    qelsim::DeviceModel device;
    SimChannel channel(device);
    QelProtocol protocol(&channel, 1, 1, nullptr);
    EXPECT_EQ(protocol.Reset(), 0);
    ASSERT_EQ(device.Requests().size(), 1U);
    EXPECT_EQ(device.Requests()[0].command, 0x0A);
    EXPECT_EQ(device.Requests()[0].messageId, 2);
    EXPECT_TRUE(channel.Pending().empty());
}

TEST(SimChannel, DroppedReplyTimesOutAndConsumesNothing) {
    qelsim::DeviceOptions options;
    options.dropReplies = {1};
    qelsim::DeviceModel device(options);
    SimChannel channel(device);
    QelProtocol protocol(&channel, 1, 1, nullptr);
    EXPECT_EQ(protocol.Reset(), SimChannel::kTimeoutCode);
    EXPECT_EQ(protocol.Reset(), 0);
}

TEST(SimChannel, ReadTakesExactlyWhatIsAskedOrNothing) {
    qelsim::DeviceModel device;
    SimChannel channel(device);
    char request[] = "5A0A7D024B92\r";
    ASSERT_EQ(channel.Write(request, 13), 0);
    char buffer[32] = {};
    EXPECT_EQ(channel.Read(buffer, 16), SimChannel::kTimeoutCode);
    EXPECT_EQ(channel.Pending().size(), 15U);
    EXPECT_EQ(channel.Read(buffer, 5), 0);
    EXPECT_EQ(std::string(buffer, 5), "5A8A7");
    EXPECT_EQ(channel.Pending(), "D02006DE3\r");
}

TEST(SimChannel, CountsOpenAndClose) {
    qelsim::DeviceModel device;
    SimChannel channel(device);
    EXPECT_EQ(channel.Open(nullptr), 0);
    channel.Close();
    channel.Close();
    EXPECT_EQ(channel.Opens(), 1);
    EXPECT_EQ(channel.Closes(), 2);
}

}  // namespace
