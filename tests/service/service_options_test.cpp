#include <gtest/gtest.h>

#include "channel_validation.h"
#include "service_options.h"

namespace {

using service::ParseServiceOptions;
using Arguments = std::vector<std::string>;

TEST(ServiceOptions, MatchLettersInAnyCaseAndKeepTheValuesAsTyped) {
    const auto options =
        ParseServiceOptions({"/C=Tcp", "/i=127.0.0.1", "/P=0x10", "/d=/dev/ttyUSB0", "/JSON",
                             "Read-Mem", "0x40000", "16", "/tmp/Image.BIN"});
    EXPECT_EQ(options.channel, "Tcp");
    EXPECT_EQ(options.address, "127.0.0.1");
    EXPECT_EQ(options.port, "0x10");
    EXPECT_EQ(options.device, "/dev/ttyUSB0");
    EXPECT_TRUE(options.json);
    EXPECT_FALSE(options.help);
    EXPECT_EQ(options.command, "read-mem");
    EXPECT_EQ(options.operands, (Arguments{"0x40000", "16", "/tmp/Image.BIN"}));
    EXPECT_TRUE(options.unknown.empty());
}

TEST(ServiceOptions, TakeOptionsAfterTheCommandAndReportUnknownOnes) {
    const auto options = ParseServiceOptions({"reset", "/p=5", "/x=1", "/verbose"});
    EXPECT_EQ(options.port, "5");
    EXPECT_EQ(options.command, "reset");
    // After the command a bare /-argument is an operand, such as an absolute path.
    EXPECT_EQ(options.unknown, (Arguments{"/x=1"}));
    EXPECT_EQ(options.operands, (Arguments{"/verbose"}));
    EXPECT_EQ(ParseServiceOptions({"/verbose", "reset"}).unknown, (Arguments{"/verbose"}));
}

class HelpRequest : public ::testing::TestWithParam<Arguments> {};

TEST_P(HelpRequest, AsksForTheUsageText) {
    EXPECT_TRUE(ParseServiceOptions(GetParam()).help);
}

INSTANTIATE_TEST_SUITE_P(Forms, HelpRequest,
                         ::testing::Values(Arguments{}, Arguments{"--help"}, Arguments{"-H"},
                                           Arguments{"/?"}, Arguments{"/c=tcp", "--HELP"}));

struct ChannelCase {
    Arguments arguments;
    std::string error;
};

class ChannelOptions : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(ChannelOptions, AreCheckedAsOrvaneChecksThem) {
    const auto validation = service::ValidateChannel(ParseServiceOptions(GetParam().arguments));
    EXPECT_EQ(validation.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChannelOptions,
    ::testing::Values(ChannelCase{{"/c=tcp", "/i=127.0.0.1", "/p=65535"}, ""},
                      ChannelCase{{"/c=COM", "/p=255"}, ""},
                      ChannelCase{{"/c=tcp", "/i=127.0.0.1"}, "Port value was not set."},
                      ChannelCase{{"/c=tcp", "/i=127.0.0.1", "/p=abc"},
                                  "Port value is incorrect. It must be greater then 0."},
                      ChannelCase{{"/c=tcp", "/i=127.0.0.1", "/p=-3"},
                                  "Port value is incorrect. It must be greater then 0."},
                      ChannelCase{{"/c=udp", "/p=1"}, "Communication channel is unknown."},
                      ChannelCase{{"/p=1"}, "Communication channel is unknown."},
                      ChannelCase{{"/c=tcp", "/p=1"}, "IP address was not set."},
                      ChannelCase{{"/c=tcp", "/i=0.0.0.0", "/p=1"}, "IP address is incorrect."},
                      ChannelCase{{"/c=tcp", "/i=255.255.255.255", "/p=1"},
                                  "IP address is incorrect."},
                      ChannelCase{{"/c=tcp", "/i=127.0.0.1", "/p=65536"},
                                  "Port value is incorrect. It must be in range [1..65535]."},
                      ChannelCase{{"/c=com", "/p=256"},
                                  "Port value is incorrect. It must be in range [1..255]."}));

TEST(ChannelOptions, CarryTheSettingsThatOpenTheChannel) {
    const auto serial =
        service::ValidateChannel(ParseServiceOptions({"/c=com", "/p=3", "/d=/dev/pts/7"}));
    EXPECT_EQ(serial.settings.kind, service::ChannelKind::kSerial);
    EXPECT_EQ(serial.settings.port, 3);
    EXPECT_EQ(serial.settings.device, "/dev/pts/7");
    const auto tcp =
        service::ValidateChannel(ParseServiceOptions({"/c=tcp", "/i=127.0.0.1", "/p=262"}));
    EXPECT_EQ(tcp.settings.kind, service::ChannelKind::kTcp);
    EXPECT_EQ(tcp.settings.port, 262);
    EXPECT_EQ(tcp.settings.address, "127.0.0.1");
}

}  // namespace
