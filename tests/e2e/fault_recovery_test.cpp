// Faults of the line and of the device: the program either recovers on a later attempt with the
// image exact, or stops with its message and exit status 2 (3 when the device holds a wrong image).
#include "case_name.h"
#include "e2e_fixture.h"
#include "intel_hex_text.h"

namespace e2e {
namespace {

struct FaultCase {
    const char* name;
    std::vector<std::string> simulatorOptions;
};

class RecoveredFault : public EndToEnd, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(RecoveredFault, IsRecoveredOnALaterAttemptWithTheImageExact) {
    const std::string port = StartSimulator(GetParam().simulatorOptions);
    ASSERT_FALSE(port.empty());
    const std::string file = Example("blinky.hex");
    const ProgramRun run = DownloadOverTcp(port, file);
    ASSERT_TRUE(run.exitStatus.has_value()) << run.output;
    EXPECT_EQ(*run.exitStatus, 0) << run.output;
    EXPECT_TRUE(Contains(run.output, "\nFile downloaded successfully.")) << run.output;
    EXPECT_GE(CountOf(run.output, "\nOpen communication channel (attempt #"), 2) << run.output;
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RecoveredFault,
    ::testing::Values(FaultCase{"DroppedReply", {"--drop-reply", "3"}},
                      FaultCase{"CorruptedReply", {"--corrupt-reply", "4"}},
                      FaultCase{"WrongMessageId", {"--wrong-id", "5"}},
                      FaultCase{"ClosedConnection", {"--close-after", "6"}},
                      FaultCase{"RefusedFirstConnection", {"--refuse-connections", "1"}},
                      FaultCase{"StatusFailureAtAPage", {"--fail-status", "7"}}),
    CaseName());

TEST_F(EndToEnd, ADeviceThatLiesAboutItsCrcEndsTheDownloadAfterOneAttempt) {
    const std::string port = StartSimulator({"--lie-crc"});
    ASSERT_FALSE(port.empty());
    const ProgramRun run = DownloadOverTcp(port, Example("blinky.hex"));
    EXPECT_EQ(run.exitStatus, 3) << run.output;
    EXPECT_TRUE(Contains(run.output, "\nERROR: CRC16 of uploaded Application Image is incorrect."));
    EXPECT_TRUE(Contains(run.output, "\nERROR: Cannot download firmware to remote device."));
    EXPECT_FALSE(Contains(run.output, "\nFile downloaded successfully."));
    EXPECT_EQ(CountOf(run.output, "\nTransmitte Data. Attempt #"), 1) << run.output;
}

TEST_F(EndToEnd, AReadBackThatDiffersEndsTheFullVerificationAfterOneAttempt) {
    // The device's memory and CRC16 are right, but one page reads back with a byte changed: only
    // the read-back comparison can see it.
    const std::string port = StartSimulator({"--flip-read-at", "0x40200"});
    ASSERT_FALSE(port.empty());
    const ProgramRun run = DownloadOverTcp(port, Example("blinky.hex"), {"/v=full"});
    EXPECT_EQ(run.exitStatus, 3) << run.output;
    EXPECT_TRUE(Contains(run.output, "\nERROR: Block at address 0x40200 contains corrupted data."))
        << run.output;
    EXPECT_TRUE(Contains(run.output, "\nERROR: Uploaded Application Image is corrupted."));
    EXPECT_TRUE(Contains(run.output, "\nERROR: Cannot download firmware to remote device."));
    EXPECT_EQ(CountOf(run.output, "\nTransmitte Data. Attempt #"), 1) << run.output;
}

TEST_F(EndToEnd, AnImageBelowTheLoaderLimitIsRefusedBeforeAnythingConnects) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const std::string file = m_dir.Write("low.hex", IntelHexFile(0x2FFF, {0xAA}));
    const ProgramRun run = DownloadOverTcp(port, file);
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    EXPECT_TRUE(Contains(run.output,
                         "\nDone.\nFirst Address in HEX file is: 0x2fff."
                         "\nThe HEX is not suitable for remote downloading. Exit.\n"))
        << run.output;
    EXPECT_FALSE(Contains(run.output, "Connecting"));
    StopSimulatorAndReadMemory();
    EXPECT_EQ(SimulatorLog().find("\"command\""), std::string::npos) << SimulatorLog();
}

}  // namespace
}  // namespace e2e
