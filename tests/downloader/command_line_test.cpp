#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_capture.h"

namespace orvane_test {
namespace {

using orvane::ChannelKind;

const std::string kSeeUsage = "\nRun software without parameters to see usage information.";
const std::string kNoFile = "\nERROR: File path to HEX file is required." + kSeeUsage;
const std::string kPortNotSet = "\nERROR: Port value was not set.";
const std::string kPortNotPositive = "\nERROR: Port value is incorrect. It must be greater then 0.";
const std::string kUnknownChannel = "\nERROR: Communication channel is unknown." + kSeeUsage;
const std::string kNoAddress = "\nERROR: IP address was not set.";
const std::string kBadAddress = "\nERROR: IP address is incorrect.";
const std::string kTcpRange = "\nERROR: Port value is incorrect. It must be in range [1..65535].";
const std::string kSerialRange = "\nERROR: Port value is incorrect. It must be in range [1..255].";

struct RefusedCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string messages;  // everything printed after the banner
};

class RefusedOptions : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedOptions, PrintsItsMessagesAndExitsOne) {
    SettingsProbe probe;
    const RunResult result = RunProgram(GetParam().arguments, probe.Services());
    EXPECT_EQ(result.output, kBanner + GetParam().messages);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_FALSE(probe.Settings().has_value()) << "nothing may be created after a refusal";
}

INSTANTIATE_TEST_SUITE_P(
    Validation, RefusedOptions,
    testing::Values(
        RefusedCase{"NoFile", {"/c=com", "/p=1"}, kNoFile},
        RefusedCase{"EmptyFile", {"/c=com", "/p=1", "/f="}, kNoFile},
        RefusedCase{"FileBeforePortAndChannel", {"/c=xyz"}, kNoFile},
        RefusedCase{"NoPort", {"/c=com", "/f=a.hex"}, kPortNotSet},
        RefusedCase{"EmptyPort", {"/c=com", "/f=a.hex", "/p="}, kPortNotSet},
        RefusedCase{"DevicePathDoesNotStandInForPort",
                    {"/c=com", "/f=a.hex", "/d=/dev/ttyUSB0"},
                    kPortNotSet},
        RefusedCase{"PortBeforeChannel", {"/c=xyz", "/f=a.hex"}, kPortNotSet},
        RefusedCase{"PortZero", {"/c=com", "/f=a.hex", "/p=0"}, kPortNotPositive},
        RefusedCase{"PortWithoutDigits", {"/c=com", "/f=a.hex", "/p=abc"}, kPortNotPositive},
        RefusedCase{"PortNegative", {"/c=tcp", "/f=a.hex", "/p=-5"}, kPortNotPositive},
        RefusedCase{"PortValueBeforeAddress", {"/c=tcp", "/f=a.hex", "/p=0"}, kPortNotPositive},
        RefusedCase{"NoChannel", {"/f=a.hex", "/p=1"}, kUnknownChannel},
        RefusedCase{"OtherChannel", {"/c=udp", "/f=a.hex", "/p=1"}, kUnknownChannel},
        RefusedCase{"ChannelWithTail", {"/c=tcpip", "/f=a.hex", "/p=1"}, kUnknownChannel},
        RefusedCase{"NoAddress", {"/c=tcp", "/f=a.hex", "/p=1"}, kNoAddress},
        RefusedCase{"AddressAllZero", {"/c=tcp", "/i=0.0.0.0", "/f=a.hex", "/p=1"}, kBadAddress},
        RefusedCase{
            "AddressAllOnes", {"/c=tcp", "/i=255.255.255.255", "/f=a.hex", "/p=1"}, kBadAddress},
        RefusedCase{"AddressNotDotted", {"/c=tcp", "/i=device", "/f=a.hex", "/p=1"}, kBadAddress},
        RefusedCase{
            "AddressOutOfRange", {"/c=tcp", "/i=256.1.1.1", "/f=a.hex", "/p=1"}, kBadAddress},
        RefusedCase{"AddressWithTrailingText",
                    {"/c=tcp", "/i=127.0.0.1 x", "/f=a.hex", "/p=1"},
                    kBadAddress},
        RefusedCase{
            "AddressBeforeTcpRange", {"/c=tcp", "/i=0.0.0.0", "/f=a.hex", "/p=65536"}, kBadAddress},
        RefusedCase{
            "TcpPortAboveRange", {"/c=tcp", "/i=127.0.0.1", "/f=a.hex", "/p=65536"}, kTcpRange},
        RefusedCase{"TcpPortCutToSevenDigits",
                    {"/c=tcp", "/i=127.0.0.1", "/f=a.hex", "/p=123456789"},
                    kTcpRange},
        RefusedCase{"SerialPortAboveRange", {"/c=com", "/f=a.hex", "/p=256"}, kSerialRange},
        RefusedCase{"SerialPortTcpSized", {"/c=com", "/f=a.hex", "/p=65535"}, kSerialRange},
        RefusedCase{"UnknownParameterWarnsInUpperCase",
                    {"/x=abc", "/c=com", "/p=1"},
                    "\nWARNING: Unknown parameter [/X=ABC]. Ignore it." + kNoFile},
        RefusedCase{"ShortArgumentIsUnknown",
                    {"/f", "/c=com", "/p=1"},
                    "\nWARNING: Unknown parameter [/F]. Ignore it." + kNoFile},
        RefusedCase{"LaterOptionReplacesEarlier",
                    {"/f=a.hex", "/c=com", "/p=1", "/p=0"},
                    kPortNotPositive}),
    [](const testing::TestParamInfo<RefusedCase>& test) { return test.param.name; });

// Runs options that pass and returns the settings handed to the download.
orvane::RunSettings Accepted(const std::vector<std::string>& arguments,
                             const std::string& printedBeforeDownload = "") {
    SettingsProbe probe;
    const RunResult result = RunProgram(arguments, probe.Services());
    EXPECT_EQ(result.output, kBanner + printedBeforeDownload + kCannotCreate);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(probe.Settings().has_value());
    return probe.Settings().value_or(orvane::RunSettings{});
}

TEST(AcceptedOptions, SerialKeepsPortAndFileAsTyped) {
    const auto settings = Accepted({"/c=com", "/p=255", "/f=Dir/Firmware.hex"});
    EXPECT_EQ(settings.channelKind, ChannelKind::kSerial);
    EXPECT_EQ(settings.port, 255);
    EXPECT_EQ(settings.filePath, "Dir/Firmware.hex");
    EXPECT_EQ(settings.devicePath, "");
    EXPECT_EQ(settings.verifyMethod, 1);
    EXPECT_EQ(settings.runMode, 1);
}

TEST(AcceptedOptions, TcpTakesHighestPortAndAddress) {
    const auto settings = Accepted({"/P=65535", "/F=lower.hex", "/I=127.0.0.1", "/C=TCP"});
    EXPECT_EQ(settings.channelKind, ChannelKind::kTcp);
    EXPECT_EQ(settings.port, 65535);
    EXPECT_EQ(settings.address, "127.0.0.1");
    EXPECT_EQ(settings.filePath, "lower.hex");
}

TEST(AcceptedOptions, PortTakesLeadingDigitsOnly) {
    EXPECT_EQ(Accepted({"/c=Com", "/p=12ab", "/f=a.hex"}).port, 12);
    EXPECT_EQ(Accepted({"/c=cOm", "/p=+7", "/f=a.hex"}).port, 7);
}

TEST(AcceptedOptions, DevicePathIsKeptAsTyped) {
    const auto settings = Accepted({"/c=com", "/p=3", "/f=a.hex", "/D=/dev/ttyUSB0"});
    EXPECT_EQ(settings.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(settings.port, 3);
}

TEST(AcceptedOptions, LongValuesAreCutToTheirCapacity) {
    const std::string longPath(600, 'p');
    const auto settings =
        Accepted({"/c=com", "/p=1", "/f=" + longPath, "/d=" + std::string(600, 'd')});
    EXPECT_EQ(settings.filePath, std::string(511, 'p'));
    EXPECT_EQ(settings.devicePath, std::string(511, 'd'));
}

struct ModeCase {
    const char* value;
    int verifyMethod;
    int runMode;
};

class VerifyAndRunMode : public testing::TestWithParam<ModeCase> {};

TEST_P(VerifyAndRunMode, AreSelectedFromTheirValues) {
    const ModeCase& mode = GetParam();
    const auto verify = Accepted({"/c=com", "/p=1", "/f=a.hex", std::string("/v=") + mode.value});
    EXPECT_EQ(verify.verifyMethod, mode.verifyMethod);
    const std::string blindLine = mode.runMode == 5 ? "\n*** Run BLIND MODE ***" : "";
    const auto run =
        Accepted({"/c=com", "/p=1", "/f=a.hex", std::string("/m=") + mode.value}, blindLine);
    EXPECT_EQ(run.runMode, mode.runMode);
}

INSTANTIATE_TEST_SUITE_P(
    Values, VerifyAndRunMode,
    testing::Values(ModeCase{"full", 2, 1}, ModeCase{"FULL", 2, 1}, ModeCase{"FuLl", 2, 1},
                    ModeCase{"crc", 1, 1}, ModeCase{"fullest", 1, 1}, ModeCase{"", 1, 1},
                    ModeCase{"a", 1, 1}, ModeCase{"p", 1, 2}, ModeCase{"P", 1, 2},
                    ModeCase{"verify", 1, 3}, ModeCase{"V", 1, 3}, ModeCase{"r", 1, 4},
                    ModeCase{"Reset", 1, 4}, ModeCase{"b", 1, 5}, ModeCase{"BLIND", 1, 5},
                    ModeCase{"x", 1, 1}, ModeCase{"ab", 1, 1}));

}  // namespace
}  // namespace orvane_test
