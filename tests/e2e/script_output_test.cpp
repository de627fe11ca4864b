// Orvane as a script runs it: JSON Lines against a device that works, one that is absent, one that
// lies about its CRC16 and a file that cannot be read; quiet text; nothing on a piped stderr.
#include "case_name.h"
#include "e2e_fixture.h"
#include "json_check.h"

namespace e2e {
namespace {

enum class Device { kWorking, kLyingAboutCrc, kClosedPort };

struct ScriptCase {
    const char* name;
    Device device;
    std::string file;  // an example's name, or a path that does not exist
    int exitStatus;
    const char* failure;
};

class ScriptRun : public EndToEnd, public ::testing::WithParamInterface<ScriptCase> {
  protected:
    // Starts the simulator as the case needs it; the port it listens on, or listened on.
    std::string Port() {
        const Device device = GetParam().device;
        const std::string port =
            StartSimulator(device == Device::kLyingAboutCrc ? std::vector<std::string>{"--lie-crc"}
                                                            : std::vector<std::string>{});
        if (device == Device::kClosedPort) {
            EXPECT_TRUE(m_simulators.at(0)->Stop(10s).has_value());
        }
        return port;
    }
};

TEST_P(ScriptRun, JsonLinesEndWithTheResultAndStderrStaysEmpty) {
    const ScriptCase& c = GetParam();
    const std::string port = Port();
    ASSERT_FALSE(port.empty());
    const std::string stderrFile = m_dir.Path("stderr.txt");
    const ProgramRun run = RunOrvane(
        {"/c=tcp", "/i=127.0.0.1", "/p=" + port, "/f=" + Example(c.file), "/json", "/a=1", "/t=0"},
        10s, stderrFile);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << run.output;
    std::optional<json_check::Fields> last;
    std::size_t from = 0;
    while (from < run.output.size()) {
        const std::size_t end = run.output.find('\n', from);
        ASSERT_NE(end, std::string::npos) << run.output;
        last = json_check::ObjectOf(run.output.substr(from, end - from));
        ASSERT_TRUE(last.has_value()) << run.output.substr(from, end - from);
        from = end + 1;
    }
    ASSERT_TRUE(last.has_value());
    EXPECT_EQ(last->at("event"), "result");
    EXPECT_EQ(last->at("exit_status"), std::to_string(c.exitStatus));
    EXPECT_EQ(last->at("failure"), c.failure);
    EXPECT_EQ(ReadFileText(stderrFile), "") << "the progress line never reaches a pipe or file";
}

INSTANTIATE_TEST_SUITE_P(
    Devices, ScriptRun,
    ::testing::Values(ScriptCase{"Works", Device::kWorking, "blinky.hex", 0, "none"},
                      ScriptCase{"ClosedPort", Device::kClosedPort, "blinky.hex", 2, "unreachable"},
                      ScriptCase{"LiesAboutItsCrc", Device::kLyingAboutCrc, "blinky.hex", 3,
                                 "wrong_image"},
                      ScriptCase{"MissingFile", Device::kWorking, "missing.hex", 1, "file"}),
    CaseName());

TEST_F(EndToEnd, QuietDownloadPrintsTheFinalLineOnlyAndNothingOnStderr) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const std::string stderrFile = m_dir.Path("stderr.txt");
    const std::string file = Example("blinky.hex");
    const ProgramRun run =
        RunOrvane({"/c=tcp", "/i=127.0.0.1", "/p=" + port, "/f=" + file, "/q"}, 60s, stderrFile);
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_EQ(run.output, "\nFile downloaded successfully.\n");
    EXPECT_EQ(ReadFileText(stderrFile), "");
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
}

}  // namespace
}  // namespace e2e
