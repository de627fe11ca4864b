// A whole download over a pseudo-terminal, the way a serial port is used.
#include "e2e_fixture.h"

namespace e2e {
namespace {

TEST_F(EndToEnd, DownloadsOverASerialLineNamedByItsDevicePath) {
    const std::string path = StartSimulator({}, /*pty=*/true);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    const std::string file = Example("blinky.hex");
    const ProgramRun run = RunOrvane({"/c=com", "/p=1", "/d=" + path, "/f=" + file, "/v=full"});
    ASSERT_TRUE(run.exitStatus.has_value()) << run.output;
    EXPECT_EQ(*run.exitStatus, 0) << run.output;
    // The device path names what is opened.
    EXPECT_TRUE(Contains(run.output, "\nConnecting " + path + " (COM1) ...")) << run.output;
    EXPECT_TRUE(Contains(run.output, "\nInitialize communication port (COM1, 115200)..."));
    EXPECT_TRUE(Contains(run.output, "\nFile downloaded successfully.")) << run.output;
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
}

TEST_F(EndToEnd, ALateSerialReplyDoesNotStandInForTheNextOne) {
    // The reply to request 5 comes only after request 6 has arrived: the program gives up on it,
    // starts over, and must not take the stale text for a later reply.
    const std::string path = StartSimulator({"--late-reply", "5"}, /*pty=*/true);
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
    const std::string file = Example("blinky.hex");
    const ProgramRun run = RunOrvane({"/c=com", "/p=1", "/d=" + path, "/f=" + file});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    EXPECT_GE(CountOf(run.output, "\nTransmitte Data. Attempt #"), 2) << run.output;
    ExpectImageInMemory(StopSimulatorAndReadMemory(), ExpectedApplicationImage(file));
}

}  // namespace
}  // namespace e2e
