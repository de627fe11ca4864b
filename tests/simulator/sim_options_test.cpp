// The qel-sim command line.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <sstream>

#include "case_name.h"
#include "device_model.h"
#include "sim_options.h"
#include "temp_dir.h"

namespace {

qelsim::ParseResult Parse(std::vector<std::string> arguments) {
    return qelsim::ParseCommandLine(arguments);
}

TEST(SimOptions, ValueForms) {
    const auto result =
        Parse({"--pty", "--memory-size", "512K", "--drop-reply", "3,5", "--drop-reply", "9",
               "--fail-write-at", "0x40100", "--silent-after-reset", "1.5",
               "--silent-requests-after-reset", "forever"});
    ASSERT_EQ(result.error, "");
    const auto& device = result.options.device;
    EXPECT_EQ(device.memorySize, 512U * 1024);
    EXPECT_EQ(device.dropReplies, (std::set<std::uint32_t>{3, 5, 9}));
    EXPECT_EQ(device.failWriteAddress, 0x40100U);
    EXPECT_EQ(device.silentTimeAfterReset, std::chrono::milliseconds(1500));
    EXPECT_EQ(device.silentRequestsAfterReset, qelsim::kForever);
    EXPECT_EQ(device.failWriteTimes, qelsim::kForever);
    EXPECT_FALSE(device.flipReadAddress);
    EXPECT_TRUE(result.options.line.slowReplies.empty());
}

TEST(SimOptions, BoundedFaultForms) {
    const auto result =
        Parse({"--tcp", "0", "--fail-write-at", "0x40200", "--fail-write-at-times", "3",
               "--flip-read-at", "0x40300", "--slow-reply", "7:6000", "--slow-reply", "9:0x10"});
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.options.device.failWriteTimes, 3U);
    EXPECT_EQ(result.options.device.flipReadAddress, 0x40300U);
    EXPECT_EQ(result.options.line.slowReplies,
              (std::map<std::uint32_t, std::uint32_t>{{7, 6000}, {9, 16}}));
}

TEST(SimOptions, LineForms) {
    const auto plain = Parse({"--tcp", "0"}).options.line;
    EXPECT_EQ(plain.idleLimit, std::chrono::seconds(60));
    EXPECT_EQ(plain.noiseBitErrorRate, 0.0);
    const auto result = Parse({"--tcp", "0", "--close-on-reset", "--stray-char", "3",
                               "--duplicate-reply", "4,5", "--idle-timeout", "0.25", "--noise",
                               "1e-5", "--seed", "0x10", "--latency", "20", "--flash-ms", "5"});
    ASSERT_EQ(result.error, "");
    const auto& line = result.options.line;
    EXPECT_TRUE(line.closeOnReset);
    EXPECT_EQ(line.strayAfter, (std::set<std::uint32_t>{3}));
    EXPECT_EQ(line.duplicateReplies, (std::set<std::uint32_t>{4, 5}));
    EXPECT_EQ(line.idleLimit, std::chrono::milliseconds(250));
    EXPECT_EQ(line.noiseBitErrorRate, 1e-5);
    EXPECT_EQ(line.noiseSeed, 16U);
    EXPECT_EQ(line.latencyMs, 20U);
    EXPECT_EQ(line.flashMs, 5U);
    EXPECT_EQ(Parse({"--pty", "--idle-timeout", "0"}).options.line.idleLimit.count(), 0);
    EXPECT_EQ(Parse({"--tcp", "0"}).options.listenAddress, (qelsim::IPv4Address{127, 0, 0, 1}));
    EXPECT_EQ(Parse({"--tcp", "0", "--listen", "10.0.255.7"}).options.listenAddress,
              (qelsim::IPv4Address{10, 0, 255, 7}));
}

TEST(SimOptions, HelpNeedsNoTransport) {
    const auto result = Parse({"--help"});
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(result.options.help);
}

struct BadLine {
    std::vector<std::string> arguments;
    std::string error;
};

class RefusedCommandLine : public testing::TestWithParam<BadLine> {};

TEST_P(RefusedCommandLine, SaysWhy) {
    EXPECT_EQ(Parse(GetParam().arguments).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusedCommandLine,
    testing::Values(
        BadLine{{}, "name a transport: --tcp PORT or --pty"},
        BadLine{{"--tcp"}, "--tcp needs a value PORT"},
        BadLine{{"--tcp", "65536"}, "bad value for --tcp: 65536"},
        BadLine{{"--tcp", "x"}, "bad value for --tcp: x"},
        BadLine{{"--pty", "--frobnicate"}, "unknown option --frobnicate"},
        BadLine{{"--pty", "--drop-reply", "0"}, "bad value for --drop-reply: 0"},
        BadLine{{"--pty", "--drop-reply", "3,"}, "bad value for --drop-reply: 3,"},
        BadLine{{"--pty", "--memory-size", "0"}, "bad value for --memory-size: 0"},
        BadLine{{"--pty", "--memory-size", "1G"}, "bad value for --memory-size: 1G"},
        BadLine{{"--pty", "--load", "0x40000"}, "bad value for --load: 0x40000"},
        BadLine{{"--pty", "--load", "x:image.bin"}, "bad value for --load: x:image.bin"},
        BadLine{{"--pty", "--load", "0x40000:"}, "bad value for --load: 0x40000:"},
        BadLine{{"--pty", "--silent-after-reset", "-1"}, "bad value for --silent-after-reset: -1"},
        BadLine{{"--pty", "--baud", "0"}, "bad value for --baud: 0"},
        BadLine{{"--pty", "--close-after", "0"}, "bad value for --close-after: 0"},
        BadLine{{"--pty", "--fail-write-at-times", "0"}, "bad value for --fail-write-at-times: 0"},
        BadLine{{"--pty", "--flip-read-at", "-1"}, "bad value for --flip-read-at: -1"},
        BadLine{{"--pty", "--slow-reply", "7"}, "bad value for --slow-reply: 7"},
        BadLine{{"--pty", "--slow-reply", "0:10"}, "bad value for --slow-reply: 0:10"},
        BadLine{{"--pty", "--slow-reply", "7:"}, "bad value for --slow-reply: 7:"},
        BadLine{{"--pty", "--slow-reply", "7:600001"}, "bad value for --slow-reply: 7:600001"},
        BadLine{{"--pty", "--stray-char", "0"}, "bad value for --stray-char: 0"},
        BadLine{{"--pty", "--duplicate-reply", ""}, "bad value for --duplicate-reply: "},
        BadLine{{"--pty", "--idle-timeout", "-1"}, "bad value for --idle-timeout: -1"},
        BadLine{{"--pty", "--noise", "1.5"}, "bad value for --noise: 1.5"},
        BadLine{{"--pty", "--noise", "-1e-5"}, "bad value for --noise: -1e-5"},
        BadLine{{"--pty", "--noise", "nan"}, "bad value for --noise: nan"},
        BadLine{{"--pty", "--seed", "-1"}, "bad value for --seed: -1"},
        BadLine{{"--pty", "--latency", "600001"}, "bad value for --latency: 600001"},
        BadLine{{"--pty", "--flash-ms", "5ms"}, "bad value for --flash-ms: 5ms"},
        BadLine{{"--pty", "--close-on-reset", "--latency"}, "--latency needs a value MS"},
        BadLine{{"--tcp", "0", "--listen", "localhost"}, "bad value for --listen: localhost"},
        BadLine{{"--tcp", "0", "--listen", "1.2.3"}, "bad value for --listen: 1.2.3"},
        BadLine{{"--tcp", "0", "--listen", "1.2.3.4."}, "bad value for --listen: 1.2.3.4."},
        BadLine{{"--tcp", "0", "--listen", "1..3.4"}, "bad value for --listen: 1..3.4"},
        BadLine{{"--tcp", "0", "--listen", "1.2.3.256"}, "bad value for --listen: 1.2.3.256"}),
    [](const testing::TestParamInfo<BadLine>& tested) { return NameOf(tested.param.arguments); });

TEST(SimOptions, UsageListsEveryOption) {
    const std::string usage = qelsim::UsageText();
    std::istringstream names(
        "--tcp --listen --pty --memory-size --dump --log --config-file --data-file "
        "--raw-file --load --drop-reply --corrupt-reply --wrong-id --fail-status "
        "--fail-write-at --fail-write-at-times --flip-read-at --slow-reply --lie-crc "
        "--silent-after-reset --silent-requests-after-reset --close-after "
        "--refuse-connections --reply-delay --baud --late-reply --close-on-reset "
        "--stray-char --duplicate-reply --idle-timeout --noise --seed --latency "
        "--flash-ms --help");
    for (std::string name; names >> name;) {
        EXPECT_NE(usage.find("  " + name + " "), std::string::npos) << name;
    }
}

class BlockFiles : public testing::Test {
  protected:
    std::string Write(const std::string& name, std::size_t size, std::uint8_t fill) {
        return m_files.Write(name, std::string(size, static_cast<char>(fill)));
    }
    TempDir m_files;
};

TEST_F(BlockFiles, LoadIntoTheDevice) {
    auto options = Parse({"--pty"}).options;
    options.configFile = Write("config", 34, 0x31);
    options.dataFile = Write("data", 93, 0x32);
    options.rawFile = Write("raw", 8 + 5, 0x01);
    EXPECT_EQ(qelsim::LoadBlockFiles(options), "");
    EXPECT_EQ(options.device.configuration[33], 0x31);
    EXPECT_EQ(options.device.dataPayload[92], 0x32);
    EXPECT_EQ(options.device.rawData.encoding, 1);
    EXPECT_EQ(options.device.rawData.data.size(), 5U);
}

TEST_F(BlockFiles, AMemoryFileIsThereAtPowerOnWhereItFits) {
    auto options =
        Parse({"--pty", "--memory-size", "1M", "--load", "0xFFF00:" + Write("m", 256, 7)}).options;
    EXPECT_EQ(qelsim::LoadBlockFiles(options), "");
    const qelsim::DeviceModel device(options.device);
    EXPECT_EQ(device.Memory()[0xFFEFF], 0xFF);
    EXPECT_EQ(device.Memory()[0xFFF00], 7);
    EXPECT_EQ(device.Memory()[0xFFFFF], 7);
    options.loadFile = Write("long", 257, 7);
    EXPECT_EQ(qelsim::LoadBlockFiles(options),
              options.loadFile + " does not fit into the memory from its address");
}

TEST_F(BlockFiles, WrongSizeOrMissingFileIsAnError) {
    auto options = Parse({"--pty"}).options;
    options.configFile = Write("short", 33, 0);
    EXPECT_EQ(qelsim::LoadBlockFiles(options), options.configFile + " holds 33 bytes, not 34");
    options.configFile = m_files.Path("missing_file");
    EXPECT_EQ(qelsim::LoadBlockFiles(options), "cannot read " + options.configFile);
    options.configFile.clear();
    options.rawFile = Write("rawshort", 7, 0);
    EXPECT_EQ(qelsim::LoadBlockFiles(options), options.rawFile + " must hold 8 to 65543 bytes");
}

// Nothing is read beyond what a block holds, and nothing that is not a file of raw bytes.
TEST_F(BlockFiles, RefusesWhatIsNoBlockWithoutReadingIt) {
    auto options = Parse({"--pty"}).options;
    options.configFile = Write("long", 35, 0);
    EXPECT_EQ(qelsim::LoadBlockFiles(options), options.configFile + " holds 35 bytes, not 34");
    options.configFile = m_files.Path();
    EXPECT_EQ(qelsim::LoadBlockFiles(options), options.configFile + " is a directory, not a file");
    options.configFile.clear();
    options.rawFile = Write("rawlong", 8 + 0x10000, 0);
    EXPECT_EQ(qelsim::LoadBlockFiles(options), options.rawFile + " must hold 8 to 65543 bytes");
    options.rawFile = Write("rawlongest", 8 + 0xFFFF, 0);
    EXPECT_EQ(qelsim::LoadBlockFiles(options), "");
    EXPECT_EQ(options.device.rawData.data.size(), 0xFFFFU);
#ifndef _WIN32
    options.rawFile = "/dev/zero";
    EXPECT_EQ(qelsim::LoadBlockFiles(options), "/dev/zero is a device, not a file");
    const std::string fifo = m_files.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    options.rawFile.clear();
    options.dataFile = fifo;  // opening it would wait for a writer for ever
    EXPECT_EQ(qelsim::LoadBlockFiles(options), fifo + " is a FIFO, not a file");
#endif
}

}  // namespace
