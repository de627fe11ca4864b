#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "channel_refusals.h"
#include "option_parser.h"
#include "option_validation.h"
#include "run_capture.h"
#include "station_options.h"

namespace orvane_test {
namespace {

using cli::ChannelKind;

const std::string kNoFile = "\nERROR: File path to HEX file is required." + refusals::kSeeUsage;
const std::string kBadRetries =
    "\nERROR: Retries (/r) must be a number from 0 to 10." + refusals::kSeeUsage;
const std::string kBadAttempts =
    "\nERROR: Attempts value is incorrect. It must be in range [1..100].";
const std::string kBadPause =
    "\nERROR: Pause value is incorrect. It must be in range [0..60] seconds.";

// A complete command line with one more option.
std::vector<std::string> ValidWith(const std::string& option) {
    return {"/c=com", "/p=1", "/f=a.hex", option};
}
const std::string kBadWindow =
    "\nERROR: Pages in flight /w=N must be a number from 1 to 16." + refusals::kSeeUsage;
const std::string kMixed =
    "\nERROR: Devices of one run must be all TCP (/c=tcp with /i=) or all serial (/c=com with "
    "/d=).";
const std::string kThreads = "\nERROR: Thread count is incorrect. It must be in range [1..64].";

// Orvane's own checks; the channel options are checked alike in both programs (tests/cli).
struct RefusedCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string messages;  // everything printed after the banner
};

class RefusedOptions : public testing::TestWithParam<RefusedCase> {};

std::vector<std::string> OverTcpWith(const std::string& option) {
    return {"/c=tcp", "/i=127.0.0.1", "/p=1", "/f=a.hex", option};
}

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
        RefusedCase{"UnknownParameterWarnsInUpperCase",
                    {"/x=abc", "/c=com", "/p=1"},
                    "\nWARNING: Unknown parameter [/X=ABC]. Ignore it." + kNoFile},
        RefusedCase{"ShortArgumentIsUnknown",
                    {"/f", "/c=com", "/p=1"},
                    "\nWARNING: Unknown parameter [/F]. Ignore it." + kNoFile},
        RefusedCase{"RetriesAboveTen", ValidWith("/r=11"), kBadRetries},
        RefusedCase{"RetriesNotANumber", ValidWith("/R=x"), kBadRetries},
        RefusedCase{"RetriesNegative", ValidWith("/r=-1"), kBadRetries},
        RefusedCase{"RetriesEmpty", ValidWith("/r="), kBadRetries},
        RefusedCase{"NoAttempts", ValidWith("/a=0"), kBadAttempts},
        RefusedCase{"AttemptsAboveHundred", ValidWith("/A=101"), kBadAttempts},
        RefusedCase{"AttemptsEmpty", ValidWith("/a="), kBadAttempts},
        RefusedCase{"AttemptsWithText", ValidWith("/a=3x"), kBadAttempts},
        RefusedCase{"AttemptsSigned", ValidWith("/a=+3"), kBadAttempts},
        RefusedCase{"PauseAboveSixty", ValidWith("/t=61"), kBadPause},
        RefusedCase{"PauseNegative", ValidWith("/T=-1"), kBadPause},
        RefusedCase{"PauseFraction", ValidWith("/t=0.5"), kBadPause},
        RefusedCase{"PauseHuge", ValidWith("/t=99999999999"), kBadPause},
        RefusedCase{"NoPagesInFlight", OverTcpWith("/w=0"), kBadWindow},
        RefusedCase{"TooManyPagesInFlight", OverTcpWith("/w=17"), kBadWindow},
        RefusedCase{"PagesInFlightNotANumber", OverTcpWith("/w=8x"), kBadWindow},
        RefusedCase{"PagesInFlightEmpty", OverTcpWith("/w="), kBadWindow},
        RefusedCase{"PagesInFlightOverASerialLine",
                    {"/c=com", "/p=1", "/f=a.hex", "/w=2"},
                    "\nERROR: /w=N above 1 needs /c=tcp: a serial device reads one "
                    "request at a time."},
        // Station runs: several /i= or /d=, /j=, /log=.
        RefusedCase{"StationWithoutFile", {"/c=tcp", "/i=10.0.0.1:5", "/j=2"}, kNoFile},
        RefusedCase{"StationUnknownChannel",
                    {"/c=xyz", "/p=1", "/f=a.hex", "/log=out"},
                    "\nERROR: " + refusals::kUnknownChannel + refusals::kSeeUsage},
        RefusedCase{"TcpAndSerialDevices",
                    {"/c=tcp", "/p=1", "/f=a.hex", "/i=10.0.0.1", "/i=10.0.0.2", "/d=/dev/ttyS0"},
                    kMixed},
        RefusedCase{"SerialAndTcpDevices",
                    {"/c=com", "/p=1", "/f=a.hex", "/d=/dev/a", "/d=/dev/b", "/i=10.0.0.1"},
                    kMixed},
        RefusedCase{"SameTcpDeviceTwice",
                    {"/c=tcp", "/p=262", "/f=a.hex", "/i=10.0.0.1", "/i=10.0.0.1:0262"},
                    "\nERROR: Device [10.0.0.1:262] is given more than once."},
        RefusedCase{"SameSerialDeviceTwice",
                    {"/c=com", "/p=1", "/f=a.hex", "/d=/dev/a", "/d=/dev/a"},
                    "\nERROR: Device [/dev/a] is given more than once."},
        RefusedCase{"BadDeviceAddress",
                    {"/c=tcp", "/f=a.hex", "/i=10.0.0.1:5", "/i=10.0.0.300:5"},
                    "\nERROR: Device [10.0.0.300:5]: " + refusals::kBadAddress},
        RefusedCase{"DeviceWithoutPort",
                    {"/c=tcp", "/f=a.hex", "/i=10.0.0.1:5", "/i=10.0.0.2"},
                    "\nERROR: Device [10.0.0.2]: " + refusals::kPortNotSet},
        RefusedCase{"DevicePortOutOfRange",
                    {"/c=tcp", "/f=a.hex", "/i=10.0.0.1:5", "/i=10.0.0.2:65536"},
                    "\nERROR: Device [10.0.0.2:65536]: " + refusals::kTcpRange},
        RefusedCase{"NoThreads", {"/c=com", "/p=1", "/f=a.hex", "/j=0"}, kThreads},
        RefusedCase{"TooManyThreads", {"/c=com", "/p=1", "/f=a.hex", "/j=65"}, kThreads},
        RefusedCase{"ThreadsNotANumber", {"/c=com", "/p=1", "/f=a.hex", "/j=4x"}, kThreads},
        RefusedCase{"EmptyLogFolder",
                    {"/c=com", "/p=1", "/f=a.hex", "/log="},
                    "\nERROR: Log folder was not set."},
        RefusedCase{
            "StationPagesInFlightOverSerial",
            {"/c=com", "/p=1", "/f=a.hex", "/d=/dev/a", "/d=/dev/b", "/w=2"},
            "\nERROR: /w=N above 1 needs /c=tcp: a serial device reads one request at a time."},
        RefusedCase{"StationAttemptsOutOfRange",
                    {"/c=tcp", "/p=1", "/f=a.hex", "/i=10.0.0.1", "/i=10.0.0.2", "/a=0"},
                    kBadAttempts}),
    CaseName());

struct StationCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<std::string> devices;  // their names, in the order given
    int threads;
    std::string logFolder;
};

class StationOptions : public testing::TestWithParam<StationCase> {};

TEST_P(StationOptions, NameEveryDeviceOnce) {
    const auto options = orvane::ParseOptions(GetParam().arguments);
    ASSERT_TRUE(orvane::IsStationRun(options));
    orvane::RunSettings settings;
    orvane::StationSettings station;
    ASSERT_TRUE(orvane::ValidateStation(options, settings, station));
    std::vector<std::string> names;
    for (const auto& device : station.devices) {
        names.push_back(device.name);
    }
    EXPECT_EQ(names, GetParam().devices);
    EXPECT_EQ(station.threads, GetParam().threads);
    EXPECT_EQ(station.logFolder, GetParam().logFolder);
    EXPECT_EQ(settings.filePath, "a.hex");
}

INSTANTIATE_TEST_SUITE_P(
    Devices, StationOptions,
    testing::Values(StationCase{"TcpPortFallsBackToP",
                                {"/c=tcp", "/p=262", "/f=a.hex", "/i=10.0.0.1", "/i=10.0.0.2:300"},
                                {"10.0.0.1:262", "10.0.0.2:300"},
                                16,
                                ""},
                    StationCase{"TcpWithoutP",
                                {"/C=TCP", "/F=a.hex", "/I=10.0.0.1:1", "/J=64"},
                                {"10.0.0.1:1"},
                                64,
                                ""},
                    StationCase{
                        "SerialPaths",
                        {"/c=com", "/p=1", "/f=a.hex", "/d=/dev/ttyUSB0", "/d=/dev/ttyUSB1"},
                        {"/dev/ttyUSB0", "/dev/ttyUSB1"},
                        16,
                        ""},
                    StationCase{"OneSerialPortWithLog",
                                {"/c=com", "/p=3", "/f=a.hex", "/log=Out Dir", "/j=1"},
                                {"COM3"},
                                1,
                                "Out Dir"}),
    CaseName());

TEST(StationOptions, EveryDeviceGetsTheSettingsOfOneDevice) {
    orvane::RunSettings settings;
    orvane::StationSettings station;
    ASSERT_TRUE(orvane::ValidateStation(
        orvane::ParseOptions({"/c=tcp", "/p=1", "/f=a.hex", "/i=10.0.0.1", "/i=10.0.0.2", "/r=2",
                              "/a=3", "/t=4", "/s", "/w=8", "/v=full", "/m=p"}),
        settings, station));
    EXPECT_EQ(settings.exchangeRetries, 2);
    EXPECT_EQ(settings.maxAttempts, 3);
    EXPECT_EQ(settings.pauseMs, 4000UL);
    EXPECT_TRUE(settings.skipEqualPages);
    EXPECT_EQ(settings.pagesInFlight, 8);
    EXPECT_EQ(settings.verifyMethod, orvane::kVerifyMethodFull);
    EXPECT_EQ(settings.runMode, orvane::kRunModeWriteOnly);
}

TEST(StationOptions, OneDeviceWithoutStationOptionsIsNoStation) {
    EXPECT_FALSE(orvane::IsStationRun(orvane::ParseOptions({"/c=tcp", "/i=10.0.0.1", "/p=1"})));
    EXPECT_FALSE(orvane::IsStationRun(orvane::ParseOptions({"/c=com", "/d=/dev/a", "/p=1"})));
}

// Validates options that pass and returns the settings handed to the download.
orvane::RunSettings Accepted(const std::vector<std::string>& arguments,
                             const std::string& printed = "") {
    orvane::RunSettings settings;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(orvane::ValidateOptions(orvane::ParseOptions(arguments), settings));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), printed);
    return settings;
}

TEST(AcceptedOptions, SerialKeepsPortAndFileAsTyped) {
    const auto settings = Accepted({"/c=com", "/p=255", "/f=Dir/Firmware.hex"});
    EXPECT_EQ(settings.channel.kind, ChannelKind::kSerial);
    EXPECT_EQ(settings.channel.port, 255);
    EXPECT_EQ(settings.filePath, "Dir/Firmware.hex");
    EXPECT_EQ(settings.channel.device, "");
    EXPECT_EQ(settings.verifyMethod, 1);
    EXPECT_EQ(settings.runMode, 1);
}

TEST(AcceptedOptions, TcpTakesHighestPortAndAddress) {
    const auto settings = Accepted({"/P=65535", "/F=lower.hex", "/I=127.0.0.1", "/C=TCP"});
    EXPECT_EQ(settings.channel.kind, ChannelKind::kTcp);
    EXPECT_EQ(settings.channel.port, 65535);
    EXPECT_EQ(settings.channel.address, "127.0.0.1");
    EXPECT_EQ(settings.filePath, "lower.hex");
}

TEST(AcceptedOptions, PortTakesLeadingDigitsOnly) {
    EXPECT_EQ(Accepted({"/c=Com", "/p=12ab", "/f=a.hex"}).channel.port, 12);
    EXPECT_EQ(Accepted({"/c=cOm", "/p=+7", "/f=a.hex"}).channel.port, 7);
}

TEST(AcceptedOptions, DevicePathIsKeptAsTyped) {
    const auto settings = Accepted({"/c=com", "/p=3", "/f=a.hex", "/D=/dev/ttyUSB0"});
    EXPECT_EQ(settings.channel.device, "/dev/ttyUSB0");
    EXPECT_EQ(settings.channel.port, 3);
}

TEST(AcceptedOptions, RetriesAreZeroUnlessGivenFromZeroToTen) {
    EXPECT_EQ(Accepted({"/c=com", "/p=1", "/f=a.hex"}).exchangeRetries, 0);
    EXPECT_EQ(Accepted({"/c=com", "/p=1", "/f=a.hex", "/r=0"}).exchangeRetries, 0);
    EXPECT_EQ(Accepted({"/c=com", "/p=1", "/f=a.hex", "/R=3"}).exchangeRetries, 3);
    EXPECT_EQ(Accepted({"/c=com", "/p=1", "/f=a.hex", "/r=10"}).exchangeRetries, 10);
}

TEST(AcceptedOptions, SkipAndPagesInFlightAreOffUnlessGiven) {
    const auto plain = Accepted({"/c=com", "/p=1", "/f=a.hex", "/w=1"});
    EXPECT_FALSE(plain.skipEqualPages);
    EXPECT_EQ(plain.pagesInFlight, 1);
    const auto fast = Accepted({"/c=tcp", "/i=127.0.0.1", "/p=1", "/f=a.hex", "/S", "/W=16"});
    EXPECT_TRUE(fast.skipEqualPages);
    EXPECT_EQ(fast.pagesInFlight, 16);
    EXPECT_TRUE(Accepted({"/c=com", "/p=1", "/f=a.hex", "/s"}).skipEqualPages);
}

TEST(AcceptedOptions, LongValuesAreCutToTheirCapacity) {
    const std::string longPath(600, 'p');
    const auto settings =
        Accepted({"/c=com", "/p=1", "/f=" + longPath, "/d=" + std::string(600, 'd')});
    EXPECT_EQ(settings.filePath, std::string(511, 'p'));
    EXPECT_EQ(settings.channel.device, std::string(511, 'd'));
}

TEST(AcceptedOptions, AttemptsAndPauseMapOntoTheDownload) {
    const auto defaults = Accepted(ValidWith("/v=crc"));
    EXPECT_EQ(defaults.maxAttempts, 0) << "100, and no end in blind mode";
    EXPECT_EQ(defaults.pauseMs, 5000u);
    const auto fastest = Accepted(ValidWith("/A=1"), "");
    EXPECT_EQ(fastest.maxAttempts, 1);
    const auto bounds = Accepted({"/c=com", "/p=1", "/f=a.hex", "/a=100", "/t=60", "/a=007"});
    EXPECT_EQ(bounds.maxAttempts, 7) << "the last value given counts";
    EXPECT_EQ(bounds.pauseMs, 60000u);
    EXPECT_EQ(Accepted(ValidWith("/t=0")).pauseMs, 0u);
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
                    ModeCase{"x", 1, 1}, ModeCase{"ab", 1, 1}),
    [](const testing::TestParamInfo<ModeCase>& tested) { return NameOf(tested.param.value); });

// /l lists what the port lister finds, in any case and whatever else is given, and downloads
// nothing. The lister sorts; the list keeps its order.
struct PortListCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<SerialPortInfo> ports;
    std::string listed;  // everything printed after the banner
};

class PortList : public testing::TestWithParam<PortListCase> {};

TEST_P(PortList, PrintsOneLineAPortAndExitsZero) {
    SettingsProbe probe;
    orvane::DownloadServices services = probe.Services();
    services.listPorts = [] { return GetParam().ports; };
    const RunResult result = RunProgram(GetParam().arguments, services);
    EXPECT_EQ(result.output, kBanner + GetParam().listed);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_FALSE(probe.Settings().has_value()) << "/l opens no channel";
}

const SerialPortInfo kBoardPort{.devicePath = "/dev/ttyS0"};
const SerialPortInfo kUsbAdapter{.devicePath = "/dev/ttyUSB0",
                                 .byIdPath = "/dev/serial/by-id/usb-FTDI_A9XYZ",
                                 .vendorId = "0403",
                                 .productId = "6001",
                                 .serialNumber = "A9XYZ",
                                 .manufacturer = "FTDI",
                                 .product = "FT232R USB UART"};
const SerialPortInfo kWindowsAdapter{.devicePath = "COM3",
                                     .friendlyName = "USB Serial Port (COM3)",
                                     .hardwareId = "FTDIBUS\\VID_0403+PID_6001"};
const SerialPortInfo kWindowsBare{.devicePath = "COM10"};

INSTANTIATE_TEST_SUITE_P(
    ListPorts, PortList,
    testing::Values(PortListCase{"NoneFound", {"/l"}, {}, "\n\nNo serial ports found.\n"},
                    PortListCase{
                        "LinuxColumnsOnlyWhereKnown",
                        {"/L"},
                        {kBoardPort, kUsbAdapter},
                        "\n\nSerial ports:"
                        "\ndevice        by-id                             vid:pid    serial  "
                        "manufacturer  product"
                        "\n/dev/ttyS0"
                        "\n/dev/ttyUSB0  /dev/serial/by-id/usb-FTDI_A9XYZ  0403:6001  A9XYZ   FTDI"
                        "          FT232R USB UART"
                        "\n"},
                    PortListCase{"WindowsWithOtherOptionsAndAnUnknownOne",
                                 {"/c=com", "/p=1", "/x", "/f=a.hex", "/l"},
                                 {kWindowsAdapter, kWindowsBare},
                                 "\nWARNING: Unknown parameter [/X]. Ignore it."
                                 "\n\nSerial ports:"
                                 "\ndevice  name                    hardware id"
                                 "\nCOM3    USB Serial Port (COM3)  FTDIBUS\\VID_0403+PID_6001"
                                 "\nCOM10"
                                 "\n"}),
    CaseName());

}  // namespace
}  // namespace orvane_test
