// The whole program in each output mode: JSON Lines that parse line by line and end with the
// result, whatever happens; quiet text; and /a=1 failing fast against a refused connection.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "case_name.h"
#include "device_model.h"
#include "intel_hex_text.h"
#include "json_check.h"
#include "loopback_peer.h"
#include "output_checks.h"
#include "run_capture.h"
#include "sim_channel.h"
#include "sleep_recorder.h"
#include "temp_dir.h"
#include "test_channels.h"

namespace orvane_test {
namespace {

using Arguments = std::vector<std::string>;

enum class Device { kWorking, kLyingAboutCrc, kAbsent };

struct JsonRunCase {
    const char* name;
    Arguments arguments;  // after the channel options; "FILE" stands for a good HEX file
    Device device;
    int exitStatus;
    const char* failure;
    int code;
};

// Every line of the output as a JSON object.
std::vector<json_check::Fields> ObjectsOf(const std::string& output) {
    std::vector<json_check::Fields> objects;
    std::size_t from = 0;
    while (from < output.size()) {
        const std::size_t end = output.find('\n', from);
        EXPECT_NE(end, std::string::npos) << "the last line has no line break";
        const std::string line = output.substr(from, end - from);
        const auto fields = json_check::ObjectOf(line);
        EXPECT_TRUE(fields.has_value()) << "not a JSON object: [" << line << "]";
        objects.push_back(fields.value_or(json_check::Fields{}));
        from = end == std::string::npos ? output.size() : end + 1;
    }
    return objects;
}

class ProgramOutput : public testing::Test {
  protected:
    RunResult RunAgainst(Device device, Arguments arguments) {
        for (std::string& argument : arguments) {
            if (argument == "/f=FILE") {
                argument = "/f=" + m_files.Write("app.hex", IntelHexFile(0x3000, {1, 2, 3, 4}));
            }
        }
        arguments.insert(arguments.begin(), {"/c=com", "/p=1"});
        m_device.Options().lieAboutCrc16 = device == Device::kLyingAboutCrc;
        orvane::DownloadServices services = orvane::RealServices();
        services.makeChannel = [this, device](const cli::ChannelSettings&) {
            return device == Device::kAbsent ? cli::BorrowChannel(m_absent)
                                             : cli::BorrowChannel(m_channel);
        };
        services.listPorts = [] {
            return std::vector<SerialPortInfo>{{.devicePath = "/dev/ttyS0"},
                                               {.devicePath = "/dev/ttyUSB0", .vendorId = "0403"}};
        };
        return RunProgram(arguments, services);
    }

    SleepRecorder m_sleeps;
    TempDir m_files;
    qelsim::DeviceModel m_device;
    SimChannel m_channel{m_device};
    OpeningFakeChannel m_absent{cli::ChannelKind::kSerial, 1000, 2143};
};

class JsonRun : public ProgramOutput, public testing::WithParamInterface<JsonRunCase> {};

TEST_P(JsonRun, EveryLineParsesAndTheLastIsTheResult) {
    const JsonRunCase& c = GetParam();
    Arguments arguments = c.arguments;
    arguments.push_back("/JSON");
    const RunResult result = RunAgainst(c.device, arguments);
    EXPECT_EQ(result.exitStatus, c.exitStatus);
    const auto objects = ObjectsOf(result.output);
    ASSERT_FALSE(objects.empty());
    const json_check::Fields& last = objects.back();
    EXPECT_EQ(last.at("event"), "result");
    EXPECT_EQ(last.at("exit_status"), std::to_string(c.exitStatus));
    EXPECT_EQ(last.at("failure"), c.failure);
    EXPECT_EQ(last.at("code"), std::to_string(c.code));
    EXPECT_EQ(last.at("ok"), c.exitStatus == 0 ? "true" : "false");
    EXPECT_FALSE(last.at("meaning").empty());
    for (std::size_t i = 0; i + 1 < objects.size(); ++i) {
        EXPECT_NE(objects[i].at("event"), "result") << "one result, at the end";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Endings, JsonRun,
    testing::Values(
        JsonRunCase{"Works", {"/f=FILE", "/v=full"}, Device::kWorking, 0, "none", 0},
        JsonRunCase{"Absent", {"/f=FILE", "/a=2"}, Device::kAbsent, 2, "unreachable", 2143},
        JsonRunCase{"LiesAboutItsCrc", {"/f=FILE"}, Device::kLyingAboutCrc, 3, "wrong_image", 5008},
        JsonRunCase{"MissingFile", {"/f=missing.hex"}, Device::kWorking, 1, "file", 2103},
        JsonRunCase{"NoFileOption", {"/x=1", "/m=b"}, Device::kWorking, 1, "options", 0},
        JsonRunCase{"BadAttempts", {"/f=FILE", "/a=0"}, Device::kWorking, 1, "options", 0},
        JsonRunCase{"Help", {"--help"}, Device::kWorking, 0, "none", 0},
        JsonRunCase{"PortList", {"/l"}, Device::kWorking, 0, "none", 0}),
    CaseName());

TEST_F(ProgramOutput, JsonCarriesStartAttemptsPhasesAndProgress) {
    const RunResult result = RunAgainst(Device::kWorking, {"/f=FILE", "/json", "/q"});
    std::vector<std::string> events;
    for (const auto& object : ObjectsOf(result.output)) {
        events.push_back(object.at("event"));
    }
    EXPECT_EQ(events.front(), "start");
    EXPECT_TRUE(InOrder(std::accumulate(events.begin(), events.end(), std::string(),
                                        [](std::string all, const std::string& event) {
                                            return all + event + " ";
                                        }),
                        {"start ", "attempt ", "open ", "phase ", "progress ", "result "}));
}

TEST_F(ProgramOutput, JsonNamesEachPortAndTheRefusalsMeaning) {
    const auto ports = ObjectsOf(RunAgainst(Device::kWorking, {"/l", "/json"}).output);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[1].at("device"), "/dev/ttyUSB0");
    EXPECT_EQ(ports[1].at("vendor_id"), "0403");
    EXPECT_EQ(ports[1].at("by_id"), "");
    const auto refused = ObjectsOf(RunAgainst(Device::kWorking, {"/y", "/json"}).output);
    ASSERT_EQ(refused.size(), 3u);
    EXPECT_EQ(refused[0].at("message"), "Unknown parameter [/Y]. Ignore it.");
    EXPECT_EQ(refused[2].at("meaning"),
              "File path to HEX file is required.\nRun software without parameters to see usage "
              "information.");
}

struct QuietCase {
    const char* name;
    Arguments arguments;
    Device device;
    std::string output;
};

class QuietRun : public ProgramOutput, public testing::WithParamInterface<QuietCase> {};

TEST_P(QuietRun, PrintsOnlyErrorsAndTheFinalLine) {
    const RunResult result = RunAgainst(GetParam().device, GetParam().arguments);
    EXPECT_EQ(result.output, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, QuietRun,
    testing::Values(QuietCase{"Works",
                              {"/f=FILE", "/q"},
                              Device::kWorking,
                              "\nFile downloaded successfully.\n"},
                    QuietCase{"Absent",
                              {"/f=FILE", "/Q", "/a=1"},
                              Device::kAbsent,
                              "\nERROR: Cannot open communication channel. ec=2143"
                              "\nERROR: Cannot download firmware to remote device.\n"},
                    QuietCase{"BadOption",
                              {"/q", "/t=61"},
                              Device::kWorking,
                              "\nERROR: File path to HEX file is required."
                              "\nRun software without parameters to see usage information.\n"}),
    CaseName());

// A refused connection is known at once on the loopback interface; with one attempt nothing
// pauses on the way to exit status 2.
TEST(FailingFast, OneAttemptAgainstARefusedConnectionPausesForNoTimeAtAll) {
    SleepRecorder sleeps;
    TempDir files;
    const std::string file = files.Write("app.hex", IntelHexFile(0x3000, {1, 2, 3, 4}));
    const RunResult result =
        RunProgram({"/c=tcp", "/i=127.0.0.1", "/p=" + std::to_string(UnusedLoopbackPort()),
                    "/f=" + file, "/a=1", "/t=0"},
                   orvane::RealServices());
    EXPECT_EQ(result.exitStatus, 2) << result.output;
    const auto& pauses = SleepRecorder::Pauses();
    EXPECT_LE(std::accumulate(pauses.begin(), pauses.end(), 0ul), 2000ul);
    EXPECT_EQ(CountOf(result.output, "(attempt #"), 1);
}

}  // namespace
}  // namespace orvane_test
