// qel-service run in-process against the simulator's device model.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "case_name.h"
#include "device_model.h"
#include "fake_channel.h"
#include "json_text.h"
#include "number_text.h"
#include "run_service.h"
#include "service_report.h"
#include "sim_channel.h"
#include "temp_dir.h"

namespace {

using Arguments = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBase = 0x40000;

Bytes Pattern(std::size_t count, std::uint8_t seed) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 31);
    }
    return bytes;
}

template <class Array>
std::string Hex(const Array& bytes) {
    return service::HexBytes(bytes.data(), bytes.size());
}

class ServiceOnDevice : public ::testing::Test {
  protected:
    // The whole command line after the channel options.
    int Run(const Arguments& command) {
        Arguments all{"/c=tcp", "/i=127.0.0.1", "/p=5000"};
        all.insert(all.end(), command.begin(), command.end());
        return service::RunService(all, Factory(), m_printer);
    }
    // Lends the test's channel, so that the test can look at it afterwards.
    cli::ChannelFactory Factory() {
        return [this](const cli::ChannelSettings& settings) {
            ++m_channelsMade;
            m_settings = settings;
            return cli::BorrowChannel(m_channel);
        };
    }
    const std::string& Output() const { return m_printer.Text(); }
    std::string MemoryAt(std::uint32_t address, std::size_t count) const {
        return service::HexBytes(m_device.Memory().data() + address, count);
    }

    qelsim::DeviceModel m_device;
    SimChannel m_channel{m_device};
    service::StringPrinter m_printer;
    cli::ChannelSettings m_settings;
    int m_channelsMade = 0;
    TempDir m_dir;
};

TEST_F(ServiceOnDevice, ReadsTheConfigurationForAPerson) {
    EXPECT_EQ(Run({"read-config"}), 0);
    EXPECT_EQ(Output(), "\nConfiguration: " + Hex(m_device.Configuration()) + "\nDone.\n");
    EXPECT_EQ(m_channel.Opens(), 1);
    EXPECT_EQ(m_channel.Closes(), 1);
    EXPECT_EQ(m_settings.port, 5000);
}

TEST_F(ServiceOnDevice, WritesTheConfigurationForAScript) {
    const Bytes block = Pattern(34, 9);
    EXPECT_EQ(Run({"/json", "write-config", service::HexBytes(block.data(), 34)}), 0);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), m_device.Configuration().begin()));
    EXPECT_EQ(Output(), "\n{\"command\":\"write-config\",\"ok\":true,\"result\":0}\n");
}

TEST_F(ServiceOnDevice, SetsAndReadsTheClock) {
    const auto now = std::chrono::system_clock::time_point(std::chrono::hours(24 * 20000));
    m_device.Options().clock = [now] { return now; };
    const auto set = qelsim::EncodeClock(now + std::chrono::hours(5));
    ASSERT_EQ(Run({"write-clock", Hex(set)}), 0);
    ASSERT_EQ(Run({"/json", "read-clock"}), 0);
    EXPECT_NE(Output().find("\"clock\":\"" + Hex(set) + "\"}"), std::string::npos);
}

TEST_F(ServiceOnDevice, SavesAMemoryRangeThatEndsInsideABlock) {
    const Bytes image = Pattern(600, 3);
    std::copy(image.begin(), image.end(), m_device.Memory().begin() + kBase);
    const std::string file = m_dir.Path("range.bin");
    EXPECT_EQ(Run({"read-mem", "0x40000", "600", file}), 0);
    EXPECT_EQ(ReadFileBytes(file), image);
    EXPECT_NE(Output().find("\nReading 600 bytes from 0x00040000...\n"), std::string::npos);
    EXPECT_NE(Output().find("\rBlock 3 of 3"), std::string::npos);
    EXPECT_NE(Output().find("\nAddress: 0x00040000\nSize: 600\nFile: " + file + "\nDone.\n"),
              std::string::npos);
}

TEST_F(ServiceOnDevice, WritesAFileAndKeepsTheDeviceBytesBehindIt) {
    std::fill(m_device.Memory().begin() + kBase, m_device.Memory().begin() + kBase + 512, 0x5A);
    const Bytes image = Pattern(300, 7);
    const std::string file = m_dir.Write("image.bin", image);
    EXPECT_EQ(Run({"/json", "write-mem", "0x40000", file}), 0);
    EXPECT_EQ(MemoryAt(kBase, 300), Hex(image));
    EXPECT_EQ(MemoryAt(kBase + 300, 212), Hex(Bytes(212, 0x5A)));
    // A script gets one object and no progress lines.
    EXPECT_EQ(Output(),
              "\n{\"command\":\"write-mem\",\"ok\":true,\"result\":0,\"address\":262144,"
              "\"size\":300,\"file\":" +
                  cli::JsonString(file) + "}\n");
}

TEST_F(ServiceOnDevice, ComparesTheDevicesCrc16WithTheFiles) {
    const Bytes image = Pattern(1000, 1);
    std::copy(image.begin(), image.end(), m_device.Memory().begin() + kBase);
    const std::string file = m_dir.Write("image.bin", image);
    EXPECT_EQ(Run({"/json", "crc", "0x40000", "1000", file}), 0);
    EXPECT_NE(Output().find("\"match\":true"), std::string::npos);

    m_device.Options().lieAboutCrc16 = true;
    EXPECT_EQ(Run({"crc", "0x40000", "1000", file}), 3);
    EXPECT_NE(Output().find("\nMatch: no\nERROR: The device's CRC16 differs from the file's. "
                            "ec=5008"),
              std::string::npos);
}

TEST_F(ServiceOnDevice, ShowsTheDevicesCrc16WithoutAFile) {
    const std::string digits = "123456789";
    std::copy(digits.begin(), digits.end(), m_device.Memory().begin() + kBase);
    EXPECT_EQ(Run({"crc", "0x40000", "9"}), 0);
    EXPECT_NE(Output().find("\nDevice CRC16: 0xBB3D\nDone.\n"), std::string::npos);
}

TEST_F(ServiceOnDevice, DecodesRawDataAndRefusesAnOversizedReply) {
    m_device.Options().rawData.encoding = 1;
    m_device.Options().rawData.valueOffset = 0x10;
    m_device.Options().rawData.data = {0x01, 0x80};
    EXPECT_EQ(Run({"/json", "raw"}), 0);
    EXPECT_NE(Output().find("\"length\":3,\"data\":\"119090\"}"), std::string::npos);

    m_device.Options().rawData.data = Bytes(1025, 0x01);
    EXPECT_EQ(Run({"raw"}), 2);
    EXPECT_NE(Output().find("\nERROR: Cannot read raw data. ec=5027 (raw data reply holds more "
                            "than 1024 bytes)\n"),
              std::string::npos);
}

TEST_F(ServiceOnDevice, ReadsTheDataReplyOfAnyCode) {
    EXPECT_EQ(Run({"data", "0x90"}), 0);
    EXPECT_EQ(Output(), "\nCode: 0x90\nData: " + Hex(m_device.Options().dataPayload) + "\nDone.\n");
}

TEST_F(ServiceOnDevice, ResetsTheDevice) {
    EXPECT_EQ(Run({"reset"}), 0);
    EXPECT_EQ(m_device.ResetCount(), 1u);
}

// A command and the words of its failure.
struct Failure {
    Arguments command;
    std::string message;
};

// Names a case by its command.
std::string CommandName(const testing::TestParamInfo<Failure>& tested) {
    return NameOf(tested.param.command.front());
}

class ServiceRefusedByDevice : public ServiceOnDevice,
                               public ::testing::WithParamInterface<Failure> {};

TEST_P(ServiceRefusedByDevice, ExitsWithTheResultCodeAndItsMeaning) {
    m_device.Options().failStatusRequests = {1};
    EXPECT_EQ(Run(GetParam().command), 2);
    EXPECT_EQ(Output(),
              "\nERROR: " + GetParam().message + " ec=5007 (status byte of the reply is not 0)\n");
}

INSTANTIATE_TEST_SUITE_P(Commands, ServiceRefusedByDevice,
                         ::testing::Values(Failure{{"write-config", std::string(68, '0')},
                                                   "Cannot write the configuration."},
                                           Failure{{"write-clock", std::string(32, '0')},
                                                   "Cannot write the system clock."},
                                           Failure{{"crc", "0x40000", "256"},
                                                   "Cannot read the device's CRC16."},
                                           Failure{{"reset"}, "Cannot reset the device."}),
                         CommandName);

class ServiceMeetsAFault : public ServiceOnDevice, public ::testing::WithParamInterface<Failure> {};

TEST_P(ServiceMeetsAFault, OnItsOnlyExchange) {
    m_device.Options().corruptReplies = {1};
    EXPECT_EQ(Run(GetParam().command), 2);
    EXPECT_NE(Output().find("\nERROR: " + GetParam().message + " ec=5006 "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Commands, ServiceMeetsAFault,
                         ::testing::Values(Failure{{"read-config"},
                                                   "Cannot read the configuration."},
                                           Failure{{"read-clock"}, "Cannot read the system clock."},
                                           Failure{{"data", "1"}, "Cannot read the data reply."}),
                         CommandName);

TEST_F(ServiceOnDevice, AFailedBlockLeavesNoFileBehind) {
    const std::string file = m_dir.Path("range.bin");
    m_device.Options().failStatusRequests = {2};
    EXPECT_EQ(Run({"read-mem", "0x40000", "1024", file}), 2);
    EXPECT_NE(Output().find("\nERROR: Cannot read the block at 0x00040100. ec=5007"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ServiceOnDevice, AFailedBlockWriteNamesTheBlock) {
    const std::string file = m_dir.Write("image.bin", Pattern(512, 0));
    m_device.Options().dropReplies = {2};
    EXPECT_EQ(Run({"write-mem", "0x40000", file}), 2);
    EXPECT_NE(Output().find("\nERROR: Cannot write the block at 0x00040100. ec=5021"),
              std::string::npos);
}

TEST_F(ServiceOnDevice, APartialBlockThatCannotBeReadIsNotWritten) {
    const std::string file = m_dir.Write("image.bin", Pattern(10, 0));
    m_device.Options().failStatusRequests = {1};
    EXPECT_EQ(Run({"write-mem", "0x40000", file}), 2);
    EXPECT_NE(Output().find("\nERROR: Cannot read the block at 0x00040000. ec=5007"),
              std::string::npos);
    EXPECT_EQ(m_device.Requests().size(), 1u);
}

TEST_F(ServiceOnDevice, AFileThatCannotBeWrittenIsALocalFailure) {
    const std::string file = m_dir.Path("missing/range.bin");
    EXPECT_EQ(Run({"/json", "read-mem", "0x40000", "256", file}), 1);
    EXPECT_NE(Output().find("\"ok\":false,\"result\":0,\"error\":" +
                            cli::JsonString("Cannot write file [" + file + "].")),
              std::string::npos);
}

TEST_F(ServiceOnDevice, RefusesABadCommandLineWithoutMakingAChannel) {
    EXPECT_EQ(Run({"/json", "read-mem", "0x40000"}), 1);
    EXPECT_EQ(Output(),
              "\n{\"command\":\"read-mem\",\"ok\":false,\"result\":0,\"error\":\"Usage: "
              "read-mem <address> <size> <file>\"}\n");
    EXPECT_EQ(Run({"/bogus", "reset"}), 1);
    EXPECT_NE(Output().find("\nERROR: Unknown parameter [/bogus].\n"), std::string::npos);
    EXPECT_EQ(m_channelsMade, 0);
}

TEST_F(ServiceOnDevice, PrintsTheUsageTextWhenAsked) {
    EXPECT_EQ(service::RunService({}, Factory(), m_printer), 0);
    EXPECT_EQ(Output().rfind("\n\nqel-service: runs one service command on a device.", 0), 0u);
    EXPECT_NE(Output().find("\n  crc <address> <size> [<file>]"), std::string::npos);
    EXPECT_EQ(m_channelsMade, 0);
}

TEST(ServiceChannel, AChannelThatDoesNotOpenEndsTheRun) {
    FakeChannel channel;
    channel.SetOpenResult(5017);
    service::StringPrinter printer;
    auto factory = [&channel](const cli::ChannelSettings&) { return cli::BorrowChannel(channel); };
    EXPECT_EQ(service::RunService({"/c=com", "/p=3", "reset"}, factory, printer), 2);
    EXPECT_EQ(printer.Text(),
              "\nERROR: Cannot open communication channel. ec=5017 (connecting fails at once)\n");
    EXPECT_EQ(channel.Writes().size(), 0u);
}

TEST(ServiceChannel, AChannelThatCannotBeMadeIsALocalFailure) {
    service::StringPrinter printer;
    auto factory = [](const cli::ChannelSettings&) { return cli::NoChannel(); };
    EXPECT_EQ(service::RunService({"/c=com", "/p=3", "reset"}, factory, printer), 1);
    EXPECT_EQ(printer.Text(), "\nERROR: Cannot create specified communication channel.\n");
}

}  // namespace
