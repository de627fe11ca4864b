// The in-process channel against the real engine: the host's own Reset exchange reaches the
// device model and comes back.
#include <gtest/gtest.h>

#include "qel_protocol.h"
#include "sim_channel.h"

namespace {

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
