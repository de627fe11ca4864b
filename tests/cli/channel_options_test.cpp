// The channel options are checked once, for both programs: each case is run through Orvane and
// through qel-service, which must refuse it with the same message, each in its own way of saying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "channel_refusals.h"
#include "run_capture.h"
#include "run_service.h"

namespace {

using Arguments = std::vector<std::string>;

using namespace refusals;

struct RefusedCase {
    const char* name;
    Arguments channelArguments;
    std::string message;
};

class RefusedChannel : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedChannel, ByOrvaneAndByQelServiceAlike) {
    const RefusedCase& c = GetParam();
    // Orvane: after the banner, one error line, and the pointer to the usage text where it helps.
    Arguments orvaneArguments = c.channelArguments;
    orvaneArguments.push_back("/f=a.hex");
    orvane_test::SettingsProbe probe;
    const orvane_test::RunResult orvane =
        orvane_test::RunProgram(orvaneArguments, probe.Services());
    const std::string seeUsage = c.message == kUnknownChannel ? kSeeUsage : "";
    EXPECT_EQ(orvane.output, orvane_test::kBanner + "\nERROR: " + c.message + seeUsage);
    EXPECT_EQ(orvane.exitStatus, 1);
    EXPECT_FALSE(probe.Settings().has_value()) << "Orvane made a channel";

    // qel-service: the same message as its result, and no channel either.
    Arguments serviceArguments = c.channelArguments;
    serviceArguments.push_back("read-config");
    int channelsMade = 0;
    service::StringPrinter printer;
    const int status = service::RunService(
        serviceArguments,
        [&channelsMade](const cli::ChannelSettings&) {
            ++channelsMade;
            return cli::NoChannel();
        },
        printer);
    EXPECT_EQ(printer.Text(), "\nERROR: " + c.message + "\n");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(channelsMade, 0) << "qel-service made a channel";
}

INSTANTIATE_TEST_SUITE_P(
    Validation, RefusedChannel,
    testing::Values(
        RefusedCase{"NoPort", {"/c=com"}, kPortNotSet},
        RefusedCase{"EmptyPort", {"/c=com", "/p="}, kPortNotSet},
        RefusedCase{"DevicePathDoesNotStandInForPort", {"/c=com", "/d=/dev/ttyUSB0"}, kPortNotSet},
        RefusedCase{"PortBeforeChannel", {"/c=xyz"}, kPortNotSet},
        RefusedCase{"PortZero", {"/c=com", "/p=0"}, kPortNotPositive},
        RefusedCase{"PortWithoutDigits", {"/c=com", "/p=abc"}, kPortNotPositive},
        RefusedCase{"PortNegative", {"/c=tcp", "/p=-5"}, kPortNotPositive},
        RefusedCase{"PortValueBeforeAddress", {"/c=tcp", "/p=0"}, kPortNotPositive},
        RefusedCase{"LaterOptionReplacesEarlier", {"/c=com", "/p=1", "/p=0"}, kPortNotPositive},
        RefusedCase{"NoChannel", {"/p=1"}, kUnknownChannel},
        RefusedCase{"OtherChannel", {"/c=udp", "/p=1"}, kUnknownChannel},
        RefusedCase{"ChannelWithTail", {"/c=tcpip", "/p=1"}, kUnknownChannel},
        RefusedCase{"NoAddress", {"/c=tcp", "/p=1"}, kNoAddress},
        RefusedCase{"AddressAllZero", {"/c=tcp", "/i=0.0.0.0", "/p=1"}, kBadAddress},
        RefusedCase{"AddressAllOnes", {"/c=tcp", "/i=255.255.255.255", "/p=1"}, kBadAddress},
        RefusedCase{"AddressNotDotted", {"/c=tcp", "/i=device", "/p=1"}, kBadAddress},
        RefusedCase{"AddressOutOfRange", {"/c=tcp", "/i=256.1.1.1", "/p=1"}, kBadAddress},
        RefusedCase{"AddressWithTrailingText", {"/c=tcp", "/i=127.0.0.1 x", "/p=1"}, kBadAddress},
        RefusedCase{"AddressCutToItsCapacity",
                    {"/c=tcp", "/i=127.0.0.1" + std::string(40, '1'), "/p=1"},
                    kBadAddress},
        RefusedCase{"AddressBeforeTcpRange", {"/c=tcp", "/i=0.0.0.0", "/p=65536"}, kBadAddress},
        RefusedCase{"TcpPortAboveRange", {"/c=tcp", "/i=127.0.0.1", "/p=65536"}, kTcpRange},
        RefusedCase{
            "TcpPortCutToSevenDigits", {"/c=tcp", "/i=127.0.0.1", "/p=123456789"}, kTcpRange},
        RefusedCase{"SerialPortAboveRange", {"/c=com", "/p=256"}, kSerialRange},
        RefusedCase{"SerialPortTcpSized", {"/c=com", "/p=65535"}, kSerialRange}),
    CaseName());

cli::ChannelSettings Accepted(const std::vector<std::string>& arguments) {
    const cli::OptionSpec table[] = {cli::kChannelOption, cli::kAddressOption, cli::kPortOption,
                                     cli::kDeviceOption};
    const auto validation =
        cli::ValidateChannel(cli::ParseOptions(table, arguments, [](const std::string&) {}));
    EXPECT_FALSE(validation.refusal.has_value()) << validation.refusal->message;
    return validation.settings;
}

TEST(AcceptedChannel, CarriesOnlyWhatItsKindOpensWith) {
    const auto serial = Accepted({"/c=COM", "/p=3", "/i=127.0.0.1", "/d=/dev/pts/7"});
    EXPECT_EQ(serial.kind, cli::ChannelKind::kSerial);
    EXPECT_EQ(serial.port, 3);
    EXPECT_EQ(serial.device, "/dev/pts/7");
    EXPECT_EQ(serial.address, "");
    const auto tcp = Accepted({"/c=tcp", "/i=127.0.0.1", "/p=262", "/d=/dev/pts/7"});
    EXPECT_EQ(tcp.kind, cli::ChannelKind::kTcp);
    EXPECT_EQ(tcp.port, 262);
    EXPECT_EQ(tcp.address, "127.0.0.1");
    EXPECT_EQ(tcp.device, "");
}

}  // namespace
