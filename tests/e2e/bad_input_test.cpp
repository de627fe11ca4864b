// Hostile files and hostile options given to the real program: each ends with its own message
// and exit status, within a bound on its time, and never with a download it was not asked for.
#include <sys/stat.h>

#include "case_name.h"
#include "channel_refusals.h"
#include "e2e_fixture.h"
#include "intel_hex_text.h"

namespace e2e {
namespace {

const std::string kBanner = "\n\nOrvane v.1.02";
const std::string kLoading = "\nLoading HEX file...";
const std::string kCannotRead = "\nERROR: Cannot read HEX file.";
const std::string kBadAddress = "\nERROR: " + refusals::kBadAddress;
const std::string kPortNotPositive = "\nERROR: " + refusals::kPortNotPositive;
const std::string kTcpRange = "\nERROR: " + refusals::kTcpRange;
const std::string kSerialRange = "\nERROR: " + refusals::kSerialRange;
const std::string kUnknownChannel = "\nERROR: " + refusals::kUnknownChannel + refusals::kSeeUsage;
const std::string kSuccess = "\nFile downloaded successfully.";

// Nothing is asked of a device before these fail, so a run that needs longer is hanging.
constexpr auto kRefusalLimit = std::chrono::seconds(20);

// One record line with its line break.
std::string Record(std::uint16_t address, std::uint8_t type,
                   const std::vector<std::uint8_t>& data) {
    return IntelHexRecord(type, address, data) + "\n";
}

const std::vector<std::uint8_t> kSixteenBytes = {0, 1, 2,  3,  4,  5,  6,  7,
                                                 8, 9, 10, 11, 12, 13, 14, 15};
const std::string kEndRecord = Record(0, 1, {});

// High bytes only: binary, without a line break or a NUL, so the whole of it is one line.
std::string BinaryGarbage() {
    std::string bytes;
    unsigned state = 12345;
    for (int i = 0; i < 2000; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(0x80 | ((state >> 16) & 0x7F));
    }
    return bytes;
}

// A good record padded to 100 000 characters on its line; the padding is read as the next line.
const std::string kLongLine = [] {
    std::string line = Record(0x3000, 0, kSixteenBytes);
    line.pop_back();
    return line + std::string(100000 - line.size(), 'Z') + "\n" + kEndRecord;
}();

std::string FailedLoad(const std::string& readerMessages) {
    return kBanner + kLoading + readerMessages + "\nError loading file '@', ec=1" + kCannotRead;
}

const std::string kParseError = "Error parsing the line.";
const std::string kLoadError = "Error loading the file.";
const std::string kNotStartingWithColon = "Line should start with ':' character";

struct FileCase {
    const char* name;
    std::string content;  // written to a file of the test, unless path is given
    std::string path;     // "<dir>" the test's directory, "<missing>" a file never written,
                          // "<fifo>" a named pipe that nobody writes to
    std::string output;   // the whole output; "@" stands for the path
};

class HostileFile : public EndToEnd, public ::testing::WithParamInterface<FileCase> {
  protected:
    std::string PathOf(const FileCase& c) const {
        if (c.path == "<dir>") {
            return m_dir.Path();
        }
        if (c.path == "<missing>") {
            return m_dir.Path("missing.hex");
        }
        if (c.path == "<fifo>") {
            const std::string fifo = m_dir.Path("fifo.hex");
            EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
            return fifo;
        }
        if (!c.path.empty()) {
            return c.path;
        }
        return m_dir.Write("hostile.hex", c.content);
    }
};

TEST_P(HostileFile, IsRefusedWithItsMessagesBeforeAnyConnection) {
    const FileCase& c = GetParam();
    const std::string path = PathOf(c);
    // Port 1 on loopback has no device: reaching the attempt loop would show as a timeout.
    const ProgramRun run =
        RunOrvane({"/c=tcp", "/i=127.0.0.1", "/p=1", "/f=" + path}, kRefusalLimit);
    std::string expected = c.output;
    for (auto at = expected.find('@'); at != std::string::npos; at = expected.find('@', at)) {
        expected.replace(at, 1, path);
        at += path.size();
    }
    ASSERT_TRUE(run.exitStatus.has_value()) << "no end within the bound\n" << run.output;
    EXPECT_EQ(*run.exitStatus, 1);
    EXPECT_EQ(run.output, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFile,
    ::testing::Values(
        FileCase{"Empty", "", "", FailedLoad("Error reading from the hex file." + kLoadError)},
        FileCase{"BinaryGarbage", BinaryGarbage(), "",
                 FailedLoad(kNotStartingWithColon + kParseError + BinaryGarbage() + kLoadError)},
        FileCase{"Directory", "", "<dir>", FailedLoad(kLoadError)},
        FileCase{"DevNull", "", "/dev/null",
                 FailedLoad("Error reading from the hex file." + kLoadError)},
        // Endless NULs: the first line is cut at the buffer and refused, so the reading ends.
        FileCase{"DevZero", "", "/dev/zero",
                 FailedLoad(kNotStartingWithColon + kParseError + kLoadError)},
        FileCase{"Missing", "", "<missing>", FailedLoad("Cannot open hexFile for reading.")},
        // Opening it would wait for a writer for ever.
        FileCase{"NamedPipeWithoutAWriter", "", "<fifo>",
                 kBanner + kLoading +
                     "\nERROR: File '@' is a named pipe (FIFO); only regular files and character "
                     "devices can be read." +
                     kCannotRead},
        FileCase{
            "LineOf100000Characters", kLongLine, "",
            FailedLoad(kNotStartingWithColon + kParseError + std::string(4095, 'Z') + kLoadError)},
        FileCase{"LinearAddressBeyondTheImage",
                 Record(0, 4, {0, 7}) + Record(0xFFF0, 0, kSixteenBytes) + kEndRecord, "",
                 FailedLoad(kLoadError)},
        FileCase{"SegmentBeyondTheImage",
                 Record(0, 2, {0xFF, 0xFF}) + Record(0, 0, kSixteenBytes) + kEndRecord, "",
                 FailedLoad(kLoadError)},
        FileCase{"NoEndRecord", Record(0x3000, 0, kSixteenBytes) + Record(0x3010, 0, {1}), "",
                 FailedLoad("Error reading from the hex file." + kLoadError)},
        FileCase{
            "OnlyTheEndRecord", kEndRecord, "",
            kBanner + kLoading + "\nInput file '@' doesn't have data to download" + kCannotRead}),
    CaseName());

struct OptionCase {
    const char* name;
    std::vector<std::string> arguments;  // "<hex>" stands for a good HEX file
    std::string messages;                // everything printed after the banner
};

class HostileOption : public EndToEnd, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(HostileOption, IsRefusedWithItsMessageAndExitStatusOne) {
    std::vector<std::string> arguments = GetParam().arguments;
    for (std::string& argument : arguments) {
        if (argument == "/f=<hex>") {
            argument = "/f=" + Example("blinky.hex");
        }
    }
    const ProgramRun run = RunOrvane(arguments, kRefusalLimit);
    ASSERT_TRUE(run.exitStatus.has_value()) << "no end within the bound\n" << run.output;
    EXPECT_EQ(*run.exitStatus, 1);
    EXPECT_EQ(run.output, kBanner + GetParam().messages);
}

// A download over TCP of a good HEX file.
std::vector<std::string> Tcp(const std::string& address, const std::string& port) {
    return {"/c=tcp", "/i=" + address, "/p=" + port, "/f=<hex>"};
}

INSTANTIATE_TEST_SUITE_P(
    Options, HostileOption,
    ::testing::Values(
        // Host names are not resolved, so a name that resolves nowhere costs no lookup time.
        OptionCase{"HostName", Tcp("localhost", "80"), kBadAddress},
        OptionCase{"UnresolvableName", Tcp("no.such.host.invalid", "80"), kBadAddress},
        OptionCase{"AddressWithTextAfterASpace", Tcp("127.0.0.1 no.such.host", "80"), kBadAddress},
        OptionCase{"AddressBeyondItsCapacity", Tcp("127.0.0.1" + std::string(40, '1'), "80"),
                   kBadAddress},
        OptionCase{"ChannelBeyondItsCapacity",
                   {"/c=tcp" + std::string(40, 'x'), "/i=127.0.0.1", "/p=80", "/f=<hex>"},
                   kUnknownChannel},
        OptionCase{"PortBeyondItsCapacity", Tcp("127.0.0.1", std::string(40, '9')), kTcpRange},
        OptionCase{"NegativePort", Tcp("127.0.0.1", "-1"), kPortNotPositive},
        OptionCase{"PortOfOnlyASpace", Tcp("127.0.0.1", " "), kPortNotPositive},
        OptionCase{"PortWithTwoSigns", Tcp("127.0.0.1", "+-80"), kPortNotPositive},
        OptionCase{"HexadecimalPort", Tcp("127.0.0.1", "0x50"), kPortNotPositive},
        OptionCase{"SerialPortWithLeadingZero", {"/c=com", "/p=0256", "/f=<hex>"}, kSerialRange}),
    CaseName());

TEST_F(EndToEnd, AFilePathBeyondItsCapacityIsCutAndNamedInTheMessage) {
    const std::string typed = m_dir.Path(std::string(600, 'p'));
    const std::string cut = typed.substr(0, 511);
    const ProgramRun run =
        RunOrvane({"/c=tcp", "/i=127.0.0.1", "/p=1", "/f=" + typed}, kRefusalLimit);
    ASSERT_TRUE(run.exitStatus.has_value()) << run.output;
    EXPECT_EQ(*run.exitStatus, 1);
    EXPECT_EQ(run.output, kBanner + kLoading +
                              "Cannot open hexFile for reading.\nError loading file '" + cut +
                              "', ec=1" + kCannotRead);
}

// A sign, a leading space and leading zeros are read as the decimal port they spell.
class DecoratedPort : public EndToEnd, public ::testing::WithParamInterface<const char*> {};

TEST_P(DecoratedPort, ReachesTheDeviceOnThePortItSpells) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const ProgramRun run = DownloadOverTcp(GetParam() + port, Example("blinky.hex"), {"/m=p"});
    ASSERT_TRUE(run.exitStatus.has_value()) << run.output;
    EXPECT_EQ(*run.exitStatus, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "\nConnecting 127.0.0.1:" + port + "...")) << run.output;
    EXPECT_TRUE(Contains(run.output, kSuccess)) << run.output;
}

INSTANTIATE_TEST_SUITE_P(Ports, DecoratedPort, ::testing::Values("+", " ", "0", "00"),
                         [](const auto& param) {
                             const std::string prefix = param.param;
                             return prefix == "+"   ? std::string("Plus")
                                    : prefix == " " ? std::string("Space")
                                                    : "Zeros" + std::to_string(prefix.size());
                         });

// A million one-byte records written over 256 addresses again and again: the load stays quick,
// and the device ends up with the last round's value at every address.
TEST_F(EndToEnd, AMillionRecordsWrittenOverEachOtherArriveAsTheirLastValues) {
    constexpr unsigned kAddresses = 256;
    constexpr unsigned kRounds = 4000;
    std::string records;
    for (unsigned round = 0; round < kRounds; ++round) {
        for (unsigned i = 0; i < kAddresses; ++i) {
            records += Record(static_cast<std::uint16_t>(0x3000 + 2 * i), 0,
                              {static_cast<std::uint8_t>(round)});
        }
    }
    const std::string file = m_dir.Write("million.hex", records + kEndRecord);
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const ProgramRun run = DownloadOverTcp(port, file);
    ASSERT_TRUE(run.exitStatus.has_value()) << run.output;
    EXPECT_EQ(*run.exitStatus, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, kSuccess)) << run.output;
    const auto image = ExpectedApplicationImage(file);
    ASSERT_GT(image.size(), 64u);
    EXPECT_EQ(image[64], static_cast<std::uint8_t>(kRounds - 1));
    ExpectImageInMemory(StopSimulatorAndReadMemory(), image);
}

}  // namespace
}  // namespace e2e
