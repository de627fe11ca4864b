// The line faults of qel-sim on a socket pair: no process, but real descriptors and real time.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <fstream>
#include <future>

#include "line_client.h"
#include "line_session.h"
#include "request_builder.h"

namespace {

using namespace std::chrono;
using simtest::RequestLine;

const std::string kResetReply = "5A8A7D02006DE3\r";

class LineSessionTest : public testing::Test {
  protected:
    void Start(qelsim::TransportFaults faults, qelsim::DeviceOptions device = {}) {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        m_client = std::make_unique<simtest::LineClient>(ends[0]);
        m_serverFd = ends[1];
        m_device = std::make_unique<qelsim::DeviceModel>(device);
        m_simulated = std::make_unique<qelsim::SimulatedDevice>(
            qelsim::SimulatedDevice{*m_device, m_outputs, std::move(faults), false, std::nullopt});
        m_end = std::async(std::launch::async, [this] {
            qelsim::LineSession session(*m_simulated, m_serverFd);
            return session.Serve();
        });
    }
    // Ends the session by closing the host's end; bounded by the session's poll interval.
    qelsim::SessionEnd Finish() {
        m_client->Close();
        EXPECT_EQ(m_end.wait_for(seconds(5)), std::future_status::ready);
        return m_end.get();
    }
    void TearDown() override {
        if (m_end.valid()) {
            Finish();
        }
        if (m_serverFd >= 0) {
            close(m_serverFd);
        }
    }
    simtest::LineClient& Client() { return *m_client; }

    qelsim::SimOutputs m_outputs{"", ""};
    std::unique_ptr<simtest::LineClient> m_client;
    int m_serverFd = -1;
    std::unique_ptr<qelsim::DeviceModel> m_device;
    std::unique_ptr<qelsim::SimulatedDevice> m_simulated;
    std::future<qelsim::SessionEnd> m_end;
};

TEST_F(LineSessionTest, AnswersARequestSplitAcrossWrites) {
    Start({});
    ASSERT_TRUE(Client().Send("5A0A7D"));
    ASSERT_TRUE(Client().Send("024B92\r"));
    EXPECT_EQ(Client().Read(15), kResetReply);
    EXPECT_EQ(Finish(), qelsim::SessionEnd::kPeerClosed);
}

TEST_F(LineSessionTest, LateReplyWaitsInFrontOfTheNextOne) {
    qelsim::TransportFaults faults;
    faults.lateReplies = {1};
    Start(faults);
    ASSERT_TRUE(Client().Send("5A0A7D024B92\r"));
    EXPECT_EQ(Client().Read(1, milliseconds(300)), std::nullopt);
    ASSERT_TRUE(Client().Send(RequestLine(0x0A, 3) + "\r"));
    const auto both = Client().Read(30);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->substr(0, 15), kResetReply);
    EXPECT_EQ(simtest::ReplyBytes(both->substr(15))[3], 3);
}

TEST_F(LineSessionTest, LateReplyIsSentEvenWhenTheNextRequestGetsNone) {
    qelsim::TransportFaults faults;
    faults.lateReplies = {1};
    Start(faults);
    ASSERT_TRUE(Client().Send("5A0A7D024B92\r"));
    ASSERT_TRUE(Client().Send("garbage\r"));
    EXPECT_EQ(Client().Read(15), kResetReply);
}

TEST_F(LineSessionTest, ClosesOnceAfterTheNamedRequest) {
    qelsim::TransportFaults faults;
    faults.closeAfterRequest = 2;
    Start(faults);
    ASSERT_TRUE(Client().Send("5A0A7D024B92\r"));
    EXPECT_EQ(Client().Read(15), kResetReply);
    ASSERT_TRUE(Client().Send(RequestLine(0x0A, 3) + "\r"));
    EXPECT_TRUE(Client().Read(15));  // the second reply still goes out
    EXPECT_EQ(m_end.wait_for(seconds(5)), std::future_status::ready);
    EXPECT_EQ(m_end.get(), qelsim::SessionEnd::kClosedByFault);
    EXPECT_TRUE(m_simulated->closeFaultDone);
}

TEST_F(LineSessionTest, ReplyDelayHoldsEveryReply) {
    qelsim::TransportFaults faults;
    faults.replyDelayMs = 60;
    Start(faults);
    const auto start = steady_clock::now();
    ASSERT_TRUE(Client().Send("5A0A7D024B92\r"));
    EXPECT_EQ(Client().Read(15), kResetReply);
    EXPECT_GE(steady_clock::now() - start, milliseconds(60));
}

TEST_F(LineSessionTest, BaudRatePacesBothWays) {
    qelsim::TransportFaults faults;
    faults.baud = 4800;  // 13 characters in, 15 out: 28 x 2.083 ms
    Start(faults);
    const auto start = steady_clock::now();
    ASSERT_TRUE(Client().Send("5A0A7D024B92\r"));
    EXPECT_EQ(Client().Read(15), kResetReply);
    EXPECT_GE(steady_clock::now() - start, microseconds(28 * 2083));
}

TEST(LineIo, CharacterTimeIsTenBits) {
    EXPECT_EQ(qelsim::CharacterTime(115200), nanoseconds(86805));
    EXPECT_EQ(qelsim::CharacterTime(0), nanoseconds(0));
}

// The log and the dump that a session leaves behind.
TEST(SimOutputs, LogLinesAndDump) {
    const std::string log = testing::TempDir() + "qelsim_session_log.json";
    const std::string dump = testing::TempDir() + "qelsim_session_dump.bin";
    std::remove(log.c_str());
    {
        qelsim::SimOutputs outputs(log, dump);
        qelsim::RequestRecord record{0x18, 7, 0x40100, 256, false, "drop", 0};
        outputs.LogRequest(3, record, "late");
        outputs.LogBoot("boot failed: \"x\"");
        const std::vector<std::uint8_t> memory{1, 2, 3};
        EXPECT_TRUE(outputs.WriteDump(memory));
    }
    std::ifstream logFile(log);
    std::string first;
    std::string second;
    std::getline(logFile, first);
    std::getline(logFile, second);
    EXPECT_EQ(first,
              "{\"event\":\"request\",\"n\":3,\"command\":24,\"id\":7,\"address\":262400,"
              "\"length\":256,\"answered\":false,\"status\":0,\"faults\":\"drop,late\"}");
    EXPECT_EQ(second, "{\"event\":\"boot\",\"verdict\":\"boot failed: \\\"x\\\"\"}");
    std::ifstream dumpFile(dump, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(dumpFile), {}), std::string("\1\2\3"));
    std::remove(log.c_str());
    std::remove(dump.c_str());
}

}  // namespace
