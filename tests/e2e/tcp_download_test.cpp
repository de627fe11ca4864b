// Whole downloads over loopback TCP into the simulator, checked byte for byte.
#include "case_name.h"
#include "e2e_fixture.h"

namespace e2e {
namespace {

const char* const kSuccess = "\nFile downloaded successfully.";

struct ModeCase {
    const char* name;
    const char* mode;
    const char* verify;
    const char* lastStepLine;
};

class TcpDownload : public EndToEnd, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(TcpDownload, PutsTheApplicationImageIntoTheDevice) {
    const ModeCase& c = GetParam();
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const std::string file = Example("blinky.hex");
    const ProgramRun run =
        DownloadOverTcp(port, file, {std::string("/m=") + c.mode, std::string("/v=") + c.verify});
    ASSERT_TRUE(run.exitStatus.has_value()) << run.output;
    EXPECT_EQ(*run.exitStatus, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, kSuccess)) << run.output;
    EXPECT_TRUE(Contains(run.output, c.lastStepLine)) << run.output;
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
    if (std::string(c.mode) == "a") {
        EXPECT_TRUE(Contains(SimulatorLog(), "boot ok")) << SimulatorLog();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TcpDownload,
    ::testing::Values(ModeCase{"AllStepsCrc", "a", "crc", "\nReset Remote Device. ec = 0"},
                      ModeCase{"AllStepsFull", "a", "full",
                               "\nVerify Downloaded Data (FULL). ec = 0"},
                      ModeCase{"WriteOnly", "p", "crc", "\nWrite Header Page. ec = 0"}),
    CaseName());

TEST_F(EndToEnd, VerifyOnlyAndResetOnlyRunOnAnImageWrittenEarlier) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const std::string file = Example("blinky.hex");
    ASSERT_EQ(DownloadOverTcp(port, file, {"/m=p"}).exitStatus, 0);

    for (const char* verify : {"crc", "full"}) {
        const ProgramRun run = DownloadOverTcp(port, file, {"/m=v", std::string("/v=") + verify});
        EXPECT_EQ(run.exitStatus, 0) << run.output;
        EXPECT_TRUE(Contains(run.output, "\nVerify Downloaded Data (CRC16). ec = 0")) << run.output;
        EXPECT_FALSE(Contains(run.output, "Write Page")) << run.output;
    }
    const ProgramRun reset = DownloadOverTcp(port, file, {"/m=r"});
    EXPECT_EQ(reset.exitStatus, 0) << reset.output;
    EXPECT_TRUE(Contains(reset.output, "\nReset Remote Device. ec = 0")) << reset.output;
    EXPECT_FALSE(Contains(reset.output, "Verify")) << reset.output;
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
    EXPECT_TRUE(Contains(SimulatorLog(), "boot ok")) << SimulatorLog();
}

// A link with a round trip: page writes in flight fill it, and a second download of the same
// image writes nothing, comparing by CRC16 instead.
TEST_F(EndToEnd, PagesInFlightAndSkippingEqualPagesPutTheExactImageThere) {
    const std::string port = StartSimulator({"--latency", "20"});
    ASSERT_FALSE(port.empty());
    const std::string file = Example("large.hex");
    const ProgramRun first = DownloadOverTcp(port, file, {"/w=8", "/s"});
    EXPECT_EQ(first.exitStatus, 0) << first.output;
    EXPECT_TRUE(Contains(first.output, "\nWrite Header Page. ec = 0")) << first.output;

    const ProgramRun again = DownloadOverTcp(port, file, {"/s"});
    EXPECT_EQ(again.exitStatus, 0) << again.output;
    EXPECT_TRUE(Contains(again.output, "\nCompare With Device. ec = 0")) << again.output;
    EXPECT_FALSE(Contains(again.output, "Write")) << again.output;
    EXPECT_TRUE(Contains(again.output, kSuccess)) << again.output;
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
}

TEST_F(EndToEnd, VerifyOnlyOfAnEmptyDeviceFailsAtOnceWithTheCrcMessage) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const ProgramRun run = DownloadOverTcp(port, Example("blinky.hex"), {"/m=v"});
    EXPECT_EQ(run.exitStatus, 3) << run.output;
    EXPECT_TRUE(Contains(run.output, "\nERROR: CRC16 of uploaded Application Image is incorrect."));
    EXPECT_TRUE(Contains(run.output, "\nERROR: Cannot download firmware to remote device."));
    EXPECT_EQ(CountOf(run.output, "\nTransmitte Data. Attempt #"), 1);
}

// As "Orvane ... | head -c 600": the download goes on when nobody reads its output any more.
TEST_F(EndToEnd, ADownloadWhoseOutputReaderGoesAwayStillPutsTheImageIntoTheDevice) {
    // The first reply comes late, so that the reader is gone while the download is under way.
    const std::string port = StartSimulator({"--slow-reply", "1:300"});
    ASSERT_FALSE(port.empty());
    const std::string file = Example("blinky.hex");
    ChildProcess program(ORVANE_PATH, {"/c=tcp", "/i=127.0.0.1", "/p=" + port, "/f=" + file});
    std::optional<std::string> line;
    while ((line = program.ReadLine(10s)) && !Contains(*line, "Connecting")) {
    }
    ASSERT_TRUE(line.has_value()) << program.Output();
    program.CloseOutput();
    EXPECT_EQ(program.Wait(60s), 0);
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
}

TEST_F(EndToEnd, ALargerImageArrivesWhole) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const std::string file = Example("large.hex");
    const ProgramRun run = DownloadOverTcp(port, file, {"/v=full"});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
}

}  // namespace
}  // namespace e2e
