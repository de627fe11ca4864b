// A station run of the real Orvane against several real qel-sim processes, one of them lying
// about its CRC16, with a terminal for its standard error.
#include <thread>

#include "e2e_fixture.h"
#include "pty_pair.h"

namespace e2e {
namespace {

// What a program writes to a pseudo-terminal, read as it comes so that the program never waits
// for room.
class TerminalCapture {
  public:
    const char* Path() const { return m_pty.SlavePath(); }
    std::string Text() {
        m_reader.request_stop();
        m_reader.join();
        return m_text + m_pty.Receive(1 << 16, 100);
    }

  private:
    PtyPair m_pty;
    std::string m_text;
    std::jthread m_reader{[this](const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            m_text += m_pty.Receive(1 << 16, 50);
        }
    }};
};

TEST_F(EndToEnd, StationDownloadsIntoEveryDeviceAndNamesTheFaultyOne) {
    const std::vector<std::vector<std::string>> faults = {{}, {"--lie-crc"}, {}};
    std::vector<std::string> arguments = {"/c=tcp", "/f=" + Example("blinky.hex"),
                                          "/log=" + m_dir.Path("logs")};
    std::vector<std::string> names;
    for (int i = 0; i < static_cast<int>(faults.size()); ++i) {
        const std::string port = StartSimulator(faults[i], false, i);
        ASSERT_FALSE(port.empty());
        names.push_back("127.0.0.1:" + port);
        arguments.push_back("/i=" + names.back());
    }
    TerminalCapture terminal;
    const ProgramRun run = RunOrvane(arguments, 60s, terminal.Path());

    EXPECT_EQ(run.exitStatus, 3) << run.output;
    const auto image = ExpectedApplicationImage(Example("blinky.hex"));
    ExpectImageInMemory(StopSimulatorAndReadMemory(0), image);
    ExpectImageInMemory(StopSimulatorAndReadMemory(2), image);
    // A device's name stands only at the start of a line, never inside another device's line.
    for (const std::string& name : names) {
        EXPECT_EQ(CountOf(run.output, "[" + name + "]"), CountOf(run.output, "\n[" + name + "]"));
        EXPECT_TRUE(Contains(run.output, "\n[" + name + "] Transmitte Data. Attempt #1."));
    }
    EXPECT_TRUE(Contains(run.output, "\n" + names[1] + "  wrong_image  5008")) << run.output;
    EXPECT_TRUE(Contains(run.output, "\n1 of 3 devices failed.\n")) << run.output;
    const std::string liarLog =
        ReadFileText(m_dir.Path("logs/127.0.0.1_" + names[1].substr(10) + ".log"));
    EXPECT_TRUE(Contains(liarLog, "\nERROR: CRC16 of uploaded Application Image is incorrect."))
        << liarLog;
    // The progress block on the terminal, drawn at once and in the end erased line by line.
    const std::string screen = terminal.Text();
    EXPECT_TRUE(Contains(screen, "\n3 waiting, 0 running, 0 done ok, 0 failed")) << screen;
    EXPECT_EQ(CountOf(screen, "\n"), CountOf(screen, "\x1b[1A")) << screen;
}

}  // namespace
}  // namespace e2e
