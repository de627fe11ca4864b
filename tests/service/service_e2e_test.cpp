// qel-service against the real qel-sim after the real Orvane has downloaded an image into it.
#include "e2e_fixture.h"

namespace e2e {
namespace {

ProgramRun RunService(const std::vector<std::string>& arguments) {
    return RunProgram(QEL_SERVICE_PATH, arguments, 60s);
}

// The service command for the device on a TCP port of 127.0.0.1.
std::vector<std::string> OverTcp(const std::string& port, std::vector<std::string> command) {
    command.insert(command.begin(), {"/c=tcp", "/i=127.0.0.1", "/p=" + port});
    return command;
}

TEST_F(EndToEnd, ServiceReadsBackWhatOrvaneWroteAndTheCrc16Matches) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    const std::string hexFile = Example("blinky.hex");
    const ProgramRun download = DownloadOverTcp(port, hexFile, {"/m=p"});
    ASSERT_EQ(download.exitStatus, 0) << download.output;

    const std::vector<std::uint8_t> image = ExpectedApplicationImage(hexFile);
    ASSERT_FALSE(image.empty());
    const std::string size = std::to_string(image.size());

    const std::string readBack = m_dir.Path("read-back.bin");
    const ProgramRun read = RunService(OverTcp(port, {"read-mem", "0x40000", size, readBack}));
    ASSERT_EQ(read.exitStatus, 0) << read.output;
    EXPECT_TRUE(ReadFileBytes(readBack) == image) << "the range read back differs from the image";

    const ProgramRun crc = RunService(OverTcp(port, {"/json", "crc", "0x40000", size, readBack}));
    EXPECT_EQ(crc.exitStatus, 0) << crc.output;
    EXPECT_TRUE(Contains(crc.output, "\"ok\":true")) << crc.output;
    EXPECT_TRUE(Contains(crc.output, "\"match\":true")) << crc.output;

    // A file that differs from the device in one byte has another CRC16.
    std::vector<std::uint8_t> changed = image;
    changed.back() ^= 0x01;
    const std::string changedFile = m_dir.Write("changed.bin", changed);
    const ProgramRun mismatch = RunService(OverTcp(port, {"crc", "0x40000", size, changedFile}));
    EXPECT_EQ(mismatch.exitStatus, 3) << mismatch.output;
    EXPECT_TRUE(Contains(mismatch.output, "ec=5008")) << mismatch.output;

    ExpectImageInMemory(StopSimulatorAndReadMemory(), image);
}

TEST_F(EndToEnd, ServiceReportsAClosedPortWithItsResultCode) {
    const std::string port = StartSimulator({});
    ASSERT_FALSE(port.empty());
    m_simulators.at(0)->Stop(10s);
    const ProgramRun run = RunService(OverTcp(port, {"/json", "read-config"}));
    EXPECT_EQ(run.exitStatus, 2) << run.output;
    EXPECT_TRUE(Contains(run.output, "\"ok\":false")) << run.output;
    EXPECT_TRUE(Contains(run.output, "\"error\":\"Cannot open communication channel.\""))
        << run.output;
}

TEST_F(EndToEnd, ServiceRunsOverASerialDeviceNamedByItsPath) {
    const std::string pty = StartSimulator({}, true);
    ASSERT_FALSE(pty.empty());
    const ProgramRun run = RunService({"/c=com", "/p=1", "/d=" + pty, "/json", "read-clock"});
    EXPECT_EQ(run.exitStatus, 0) << run.output;
    // Whatever the channel printed first, the object is the last line.
    const std::string last = run.output.substr(run.output.rfind('\n', run.output.size() - 2) + 1);
    EXPECT_EQ(last.rfind("{\"command\":\"read-clock\",\"ok\":true", 0), 0u) << run.output;
}

// Nothing is asked of a device: a directory or an endless device is refused at once.
TEST_F(EndToEnd, ServiceRefusesInputsThatAreNoFileOrHaveNoEnd) {
    const ProgramRun refused =
        RunService(OverTcp("1", {"/json", "write-mem", "0x40000", m_dir.Path()}));
    EXPECT_EQ(refused.exitStatus, 1) << refused.output;
    EXPECT_EQ(refused.output,
              "\n{\"command\":\"write-mem\",\"ok\":false,\"result\":0,\"error\":"
              "\"File [" +
                  m_dir.Path() +
                  "] is a directory; only regular files and character devices "
                  "can be read.\"}\n");
    const ProgramRun tooLarge = RunService(OverTcp("1", {"write-mem", "0", "/dev/urandom"}));
    EXPECT_EQ(tooLarge.exitStatus, 1) << tooLarge.output;
    EXPECT_EQ(tooLarge.output, "\nERROR: File [/dev/urandom] must hold 1 to 16777216 bytes.\n");
}

}  // namespace
}  // namespace e2e
