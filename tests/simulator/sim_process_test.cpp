// The qel-sim program itself, over TCP on 127.0.0.1 and on a pseudo-terminal.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>

#include "case_name.h"
#include "child_process.h"
#include "expected_image.h"
#include "line_client.h"
#include "simulator_readiness.h"
#include "temp_dir.h"
#include "wire_text.h"

namespace {

using namespace std::chrono;
using simtest::LineClient;
using wire::Bytes;

const std::string kResetReply = "5A8A7D02006DE3\r";
constexpr milliseconds kLimit = seconds(5);

// qel-sim with its standard error in the same pipe as its output.
std::unique_ptr<ChildProcess> StartSim(const std::vector<std::string>& arguments) {
    return std::make_unique<ChildProcess>(QEL_SIM_PROGRAM, arguments, true);
}

int ConnectTo(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Waits, bounded, until the file holds the text.
bool FileComesToHold(const std::string& path, const std::string& text) {
    const auto deadline = steady_clock::now() + seconds(5);
    while (steady_clock::now() < deadline) {
        if (ReadFileText(path).find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(milliseconds(5));  // polls a file another process writes
    }
    return false;
}

class SimProcessTest : public testing::Test {
  protected:
    void TearDown() override { m_sim.reset(); }
    std::string File(const std::string& name) const { return m_files.Path(name); }
    // Starts qel-sim on a free TCP port and returns the port from its first line.
    std::uint16_t StartTcp(std::vector<std::string> extra = {}) {
        std::vector<std::string> arguments{"--tcp", "0"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        m_sim = StartSim(arguments);
        const auto port = ReadSimulatorReadiness(*m_sim, kLimit);
        if (!port) {
            ADD_FAILURE() << "qel-sim did not report a port";
            return 0;
        }
        return static_cast<std::uint16_t>(std::stoi(*port));
    }
    // Starts qel-sim on a pseudo-terminal and returns its path.
    std::string StartPty(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), "--pty");
        m_sim = StartSim(extra);
        const std::string path = ReadSimulatorReadiness(*m_sim, kLimit).value_or("");
        if (path.rfind("/dev/", 0) != 0) {
            ADD_FAILURE() << "pty path: " << path;
        }
        return path;
    }

    TempDir m_files;
    std::unique_ptr<ChildProcess> m_sim;
};

TEST_F(SimProcessTest, HelpListsOptionsAndExitsZero) {
    const auto sim = StartSim({"--help"});
    EXPECT_EQ(sim->Wait(kLimit), 0);
    EXPECT_NE(sim->Output().find("--late-reply"), std::string::npos);
    EXPECT_NE(sim->Output().find("--close-on-reset"), std::string::npos);
}

// An unknown option, and a block file that is no file of raw bytes, end the simulator with a
// message, not an abort, a growing memory or a wait for a FIFO's writer.
TEST_F(SimProcessTest, BadCommandLinesAndUnusableBlockFilesExitOne) {
    const std::string fifo = File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"--raw-file", "/dev/zero"}, "qel-sim: /dev/zero is a device, not a file"},
        {{"--config-file", m_files.Path()}, "is a directory, not a file"},
        {{"--data-file", fifo}, "is a FIFO, not a file"}};
    for (const auto& [option, message] : cases) {
        std::vector<std::string> arguments{"--tcp", "0"};
        arguments.insert(arguments.end(), option.begin(), option.end());
        const auto sim = StartSim(arguments);
        EXPECT_EQ(sim->Wait(kLimit), 1) << option.front();
        EXPECT_NE(sim->Output().find(message), std::string::npos) << sim->Output();
    }
}

TEST_F(SimProcessTest, TcpAnswersAResetTypedByHand) {
    const auto port = StartTcp();
    LineClient client(ConnectTo(port));
    ASSERT_GE(client.Fd(), 0);
    ASSERT_TRUE(client.Send("5A0A7D024B92\r"));
    EXPECT_EQ(client.Read(15), kResetReply);
    EXPECT_EQ(m_sim->Stop(kLimit), 0);
}

TEST_F(SimProcessTest, LateReplyWaitsInFrontOfTheNextOne) {
    const auto port = StartTcp({"--late-reply", "1"});
    LineClient client(ConnectTo(port));
    ASSERT_TRUE(client.Send("5A0A7D024B92\r"));
    EXPECT_EQ(client.Read(1, milliseconds(200)), std::nullopt);
    ASSERT_TRUE(client.Send(wire::Request(0x0A, 3) + "\r"));
    const auto both = client.Read(30);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->substr(0, 15), kResetReply);
    EXPECT_EQ(wire::FromHex(both->substr(15))[3], 3);
}

TEST_F(SimProcessTest, MemoryOutlivesTheConnection) {
    const auto port = StartTcp();
    const Bytes page(256, 0x3C);
    {
        LineClient first(ConnectTo(port));
        ASSERT_TRUE(first.Send(wire::WritePageRequest(2, 0x40100, page) + "\r"));
        ASSERT_TRUE(first.Read(15));
    }
    LineClient second(ConnectTo(port));
    ASSERT_TRUE(second.Send(wire::ReadPageRequest(3, 0x40100) + "\r"));
    const auto reply = second.Read(543);
    ASSERT_TRUE(reply);
    const Bytes bytes = wire::FromHex(*reply);
    EXPECT_EQ(Bytes(bytes.begin() + 13, bytes.begin() + 269), page);
}

TEST_F(SimProcessTest, RefusedConnectionsAreClosedAtOnce) {
    const auto port = StartTcp({"--refuse-connections", "2"});
    for (int i = 0; i < 2; ++i) {
        LineClient refused(ConnectTo(port));
        EXPECT_TRUE(refused.ClosedByPeer()) << "connection " << i + 1;
    }
    LineClient served(ConnectTo(port));
    ASSERT_TRUE(served.Send("5A0A7D024B92\r"));
    EXPECT_EQ(served.Read(15), kResetReply);
}

TEST_F(SimProcessTest, ConnectionClosedAfterTheNamedRequestOnly) {
    const auto port = StartTcp({"--close-after", "1"});
    {
        LineClient first(ConnectTo(port));
        ASSERT_TRUE(first.Send("5A0A7D024B92\r"));
        EXPECT_EQ(first.Read(15), kResetReply);
        EXPECT_TRUE(first.ClosedByPeer());
    }
    LineClient second(ConnectTo(port));
    ASSERT_TRUE(second.Send(wire::Request(0x0A, 3) + "\r"));
    EXPECT_TRUE(second.Read(15));
    ASSERT_TRUE(second.Send(wire::Request(0x0A, 4) + "\r"));
    EXPECT_TRUE(second.Read(15));
}

TEST_F(SimProcessTest, DumpAfterResetAndAtExitLogAndVerdict) {
    const std::string dump = File("dump.bin");
    const std::string log = File("log.json");
    const auto port = StartTcp({"--dump", dump, "--log", log, "--memory-size", "0x50000"});
    LineClient client(ConnectTo(port));
    ASSERT_TRUE(client.Send(wire::WritePageRequest(2, 0x40000, expected::AbcImage()) + "\r"));
    ASSERT_TRUE(client.Read(15));
    ASSERT_TRUE(client.Send(wire::Request(0x0A, 3) + "\r"));
    ASSERT_TRUE(client.Read(15));
    std::string memory = ReadFileText(dump);  // written before the reset's reply left
    ASSERT_EQ(memory.size(), 0x50000U);
    const Bytes image = expected::AbcImage();
    EXPECT_EQ(memory.substr(0x40000, 256), std::string(image.begin(), image.end()));

    ASSERT_TRUE(client.Send(wire::WritePageRequest(4, 0x40100, Bytes(256, 0x77)) + "\r"));
    ASSERT_TRUE(client.Read(15));
    kill(m_sim->Pid(), SIGINT);
    EXPECT_EQ(m_sim->Wait(kLimit), 0);
    memory = ReadFileText(dump);
    EXPECT_EQ(memory.substr(0x40100, 256), std::string(256, '\x77'));

    const std::string logText = ReadFileText(log);
    EXPECT_NE(logText.find("{\"event\":\"request\",\"n\":1,\"command\":24,\"id\":2,"
                           "\"address\":262144,\"length\":256,\"answered\":true,\"status\":0,"
                           "\"faults\":\"\"}"),
              std::string::npos);
    EXPECT_NE(logText.find("{\"event\":\"boot\",\"verdict\":\"boot ok\"}"), std::string::npos);
    EXPECT_NE(m_sim->Output().find("qel-sim: boot ok"), std::string::npos);
}

// Each device fault reaches the model from the command line; its own behaviour is tested on the
// model. The log shows which fault was applied to which request.
struct FaultOption {
    std::vector<std::string> option;
    std::string logged;
};

class FaultFromCommandLine : public SimProcessTest,
                             public testing::WithParamInterface<FaultOption> {};

TEST_P(FaultFromCommandLine, IsAppliedToTheNamedRequest) {
    const std::string log = File("faults.json");
    std::vector<std::string> options{"--log", log};
    options.insert(options.end(), GetParam().option.begin(), GetParam().option.end());
    const auto port = StartTcp(options);
    LineClient client(ConnectTo(port));
    ASSERT_TRUE(client.Send("5A0A7D024B92\r"));                          // request 1: a reset
    ASSERT_TRUE(client.Send(wire::CrcRequest(3, 0x40000, 256) + "\r"));  // request 2
    EXPECT_TRUE(FileComesToHold(log, GetParam().logged)) << ReadFileText(log);
}

// The log's line for request 1 (the reset) or 2 (the CRC16), as far as the faults applied to it.
std::string Logged(int request, bool answered, const char* status, const char* faults) {
    return std::string(request == 1 ? "\"n\":1,\"command\":10,\"id\":2,\"address\":0,\"length\":0,"
                                    : "\"n\":2,\"command\":28,\"id\":3,\"address\":262144,"
                                      "\"length\":256,") +
           "\"answered\":" + (answered ? "true" : "false") + ",\"status\":" + status +
           ",\"faults\":\"" + faults + "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Options, FaultFromCommandLine,
    testing::Values(
        FaultOption{{"--drop-reply", "1"}, Logged(1, false, "0", "drop")},
        FaultOption{{"--corrupt-reply", "2"}, Logged(2, true, "0", "corrupt")},
        FaultOption{{"--wrong-id", "1"}, "\"faults\":\"wrong-id\""},
        FaultOption{{"--fail-status", "2"}, "\"status\":1,\"faults\":\"status\""},
        FaultOption{{"--lie-crc"}, "\"faults\":\"lie-crc\""},
        FaultOption{{"--stray-char", "1"}, Logged(1, true, "0", "stray")},
        FaultOption{{"--duplicate-reply", "2"}, "\"faults\":\"duplicate\""},
        FaultOption{{"--close-on-reset"}, "{\"event\":\"close\",\"reason\":\"reset\"}"},
        FaultOption{{"--late-reply", "1"}, "\"answered\":true,\"status\":0,\"faults\":\"late\""},
        FaultOption{{"--slow-reply", "2:10"}, Logged(2, true, "0", "slow")},
        FaultOption{{"--silent-requests-after-reset", "forever"},
                    Logged(2, false, "null", "silent")},
        FaultOption{{"--silent-after-reset", "60"}, Logged(2, false, "null", "silent")}),
    [](const testing::TestParamInfo<FaultOption>& tested) {
        return NameOf(tested.param.option.front());
    });

TEST_F(SimProcessTest, FailedWriteAddressFromTheCommandLine) {
    const auto port = StartTcp({"--fail-write-at", "0x40100"});
    LineClient client(ConnectTo(port));
    ASSERT_TRUE(client.Send(wire::WritePageRequest(2, 0x40100, Bytes(256, 0)) + "\r"));
    const auto reply = client.Read(15);
    ASSERT_TRUE(reply);
    EXPECT_EQ(wire::FromHex(*reply)[4], 1);
}

TEST_F(SimProcessTest, ReplyDelayAndBaudFromTheCommandLine) {
    const auto port = StartTcp({"--reply-delay", "40", "--baud", "9600"});
    LineClient client(ConnectTo(port));
    const auto start = steady_clock::now();
    ASSERT_TRUE(client.Send("5A0A7D024B92\r"));
    EXPECT_EQ(client.Read(15), kResetReply);
    EXPECT_GE(steady_clock::now() - start, milliseconds(40) + microseconds(28 * 1041));
}

TEST_F(SimProcessTest, SlowReplyHoldsBackTheNamedReplyOnly) {
    const auto port = StartTcp({"--slow-reply", "2:300"});
    LineClient client(ConnectTo(port));
    auto start = steady_clock::now();
    ASSERT_TRUE(client.Send("5A0A7D024B92\r"));
    EXPECT_EQ(client.Read(15), kResetReply);
    EXPECT_LT(steady_clock::now() - start, milliseconds(300));
    start = steady_clock::now();
    ASSERT_TRUE(client.Send("5A0A7D024B92\r"));
    EXPECT_EQ(client.Read(15), kResetReply);
    EXPECT_GE(steady_clock::now() - start, milliseconds(300));
}

TEST_F(SimProcessTest, StrayAndDuplicateFollowTheirReplyOnTheWire) {
    const auto port = StartTcp({"--stray-char", "1", "--duplicate-reply", "1"});
    LineClient client(ConnectTo(port));
    ASSERT_TRUE(client.Send("5A0A7D024B92\r"));
    EXPECT_EQ(client.Read(31), kResetReply + kResetReply + "5");
}

// The device reboots: the connection goes with the reset's reply, the boot check still runs, and
// the next connection finds the device back.
TEST_F(SimProcessTest, CloseOnResetDropsTheConnectionAfterTheReply) {
    const auto port = StartTcp({"--close-on-reset"});
    {
        LineClient first(ConnectTo(port));
        ASSERT_TRUE(first.Send("5A0A7D024B92\r" + wire::Request(0x06, 3) + "\r"));
        EXPECT_EQ(first.Read(15), kResetReply);
        EXPECT_TRUE(first.ClosedByPeer());
    }
    LineClient second(ConnectTo(port));
    ASSERT_TRUE(second.Send(wire::Request(0x06, 4) + "\r"));
    const auto clock = second.Read(45);
    ASSERT_TRUE(clock);
    EXPECT_EQ(wire::FromHex(*clock)[3], 4);
    EXPECT_EQ(m_sim->Stop(kLimit), 0);
    EXPECT_NE(m_sim->Output().find("qel-sim: boot failed"), std::string::npos);
}

// One silent client no longer holds the next one off for ever.
TEST_F(SimProcessTest, IdleConnectionIsClosedAndTheNextOneServed) {
    const std::string log = File("idle.json");
    const auto port = StartTcp({"--idle-timeout", "0.2", "--log", log});
    const auto start = steady_clock::now();
    LineClient silent(ConnectTo(port));
    LineClient waiting(ConnectTo(port));
    ASSERT_TRUE(waiting.Send("5A0A7D024B92\r"));
    EXPECT_EQ(waiting.Read(15), kResetReply);
    EXPECT_GE(steady_clock::now() - start, milliseconds(200));
    EXPECT_TRUE(silent.ClosedByPeer());
    EXPECT_TRUE(FileComesToHold(log, "{\"event\":\"close\",\"reason\":\"idle\"}"));
    EXPECT_EQ(m_sim->Stop(kLimit), 0);
    EXPECT_NE(m_sim->Output().find("qel-sim: closed a connection idle for 0.2 s"),
              std::string::npos);
}

// Requests sent together: with a link delay both replies come after it, in order; a device busy
// writing flash takes its time for each page in turn.
TEST_F(SimProcessTest, LatencyAndFlashTimeDelayTheReplies) {
    struct Case {
        std::vector<std::string> option;
        milliseconds atLeast;
    };
    for (const Case& c : {Case{{"--latency", "50"}, milliseconds(50)},
                          Case{{"--flash-ms", "50"}, milliseconds(100)}}) {
        const auto port = StartTcp(c.option);
        LineClient client(ConnectTo(port));
        const auto start = steady_clock::now();
        ASSERT_TRUE(client.Send(wire::WritePageRequest(2, 0x40100, Bytes(256, 1)) + "\r" +
                                wire::WritePageRequest(3, 0x40200, Bytes(256, 2)) + "\r"));
        const auto replies = client.Read(30);
        ASSERT_TRUE(replies) << c.option.front();
        EXPECT_GE(steady_clock::now() - start, c.atLeast) << c.option.front();
        EXPECT_EQ(wire::FromHex(replies->substr(0, 15))[3], 2);
        EXPECT_EQ(wire::FromHex(replies->substr(15))[3], 3);
        EXPECT_EQ(m_sim->Stop(kLimit), 0);
    }
}

// The pseudo-terminal, opened as a serial port would be.
int OpenPort(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd >= 0) {
        termios mode{};
        tcgetattr(fd, &mode);
        cfmakeraw(&mode);
        tcsetattr(fd, TCSANOW, &mode);
        tcflush(fd, TCIOFLUSH);
    }
    return fd;
}

TEST_F(SimProcessTest, PtyServesAcrossCloseAndReopen) {
    const std::string path = StartPty();
    ASSERT_FALSE(HasFailure());
    for (std::uint8_t id = 2; id < 5; ++id) {
        LineClient port(OpenPort(path));
        ASSERT_GE(port.Fd(), 0);
        ASSERT_TRUE(port.Send(wire::Request(0x0A, id) + "\r"));
        const auto reply = port.Read(15);
        ASSERT_TRUE(reply) << "open " << int(id - 1);
        EXPECT_EQ(wire::FromHex(*reply)[3], id);
    }
    EXPECT_EQ(m_sim->Stop(kLimit), 0);
}

// A device on a USB port vanishes while it reboots: the port answers nothing until it is closed,
// and the next opening finds the device back.
TEST_F(SimProcessTest, PtyAnswersNothingAfterResetUntilThePortIsClosed) {
    const std::string path = StartPty({"--close-on-reset"});
    {
        LineClient port(OpenPort(path));
        ASSERT_TRUE(port.Send("5A0A7D024B92\r"));
        EXPECT_EQ(port.Read(15), kResetReply);
        ASSERT_TRUE(port.Send(wire::Request(0x06, 3) + "\r"));
        EXPECT_EQ(port.Read(1, milliseconds(300)), std::nullopt);
    }
    LineClient reopened(OpenPort(path));
    ASSERT_TRUE(reopened.Send(wire::Request(0x06, 4) + "\r"));
    const auto clock = reopened.Read(45);
    ASSERT_TRUE(clock);
    EXPECT_EQ(wire::FromHex(*clock)[3], 4);
}

// Noise on the pty: counted in the log as it strikes and in a summary at exit.
TEST_F(SimProcessTest, NoiseIsCountedInTheLogAndAtExit) {
    const std::string log = File("noise.json");
    const std::string path = StartPty({"--noise", "0.01", "--seed", "5", "--log", log});
    LineClient port(OpenPort(path));
    std::string requests;
    for (int i = 0; i < 50; ++i) {
        requests += "5A0A7D024B92\r";
    }
    ASSERT_TRUE(port.Send(requests));
    EXPECT_TRUE(FileComesToHold(log, "{\"event\":\"noise\",\"to\":\"device\","));
    EXPECT_TRUE(FileComesToHold(log, "{\"event\":\"noise\",\"to\":\"host\","));
    EXPECT_EQ(m_sim->Stop(kLimit), 0);
    EXPECT_NE(m_sim->Output().find("qel-sim: line noise flipped "), std::string::npos);
    EXPECT_TRUE(FileComesToHold(log, "{\"event\":\"noise-summary\","));
}

#ifdef TIOCGEXCL
bool Exclusive(const std::string& path) {
    LineClient port(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    int exclusive = 0;
    ioctl(port.Fd(), TIOCGEXCL, &exclusive);
    return exclusive != 0;
}

// An ordinary user could not open the path again while it stays exclusive.
TEST_F(SimProcessTest, PtyLeftInExclusiveUseIsReleasedWhenClosed) {
    const std::string path = StartPty();
    ASSERT_FALSE(HasFailure());
    {
        LineClient port(OpenPort(path));
        ASSERT_EQ(ioctl(port.Fd(), TIOCEXCL), 0);
        ASSERT_TRUE(port.Send("5A0A7D024B92\r"));
        EXPECT_EQ(port.Read(15), kResetReply);
    }
    const auto deadline = steady_clock::now() + kLimit;
    while (Exclusive(path) && steady_clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(5));  // the device notices the close
    }
    EXPECT_FALSE(Exclusive(path));
}
#endif

}  // namespace
