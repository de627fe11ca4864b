// What only BSD sockets let a test arrange: the socket's blocking mode, a queue that never
// answers, no descriptor left, signals, and a socket pair that keeps every send as one piece.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/tcp.h>
#endif

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "case_name.h"
#include "sleep_recorder.h"
#include "socket_channel_fixture.h"

namespace socket_test {
namespace {

bool SendText(int fd, const std::string& text) {
    return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

TEST_F(ConnectedChannel, TheConnectedSocketBlocks) {
    EXPECT_EQ(fcntl(Access::Socket(m_channel), F_GETFL) & O_NONBLOCK, 0);
}

TEST(SocketChannel, ConnectionThatNeverCompletesGives5018AtTheLimit) {
    const Access::Steps saved = Access::ConnectSteps();
    Access::ConnectSteps().limitMilliseconds = 200;
    // Nobody accepts: once the listener's queue is full, further handshakes go unanswered.
    const LoopbackPeer peer(0);
    _socket_open_params params = Params(peer.Port());
    std::vector<std::unique_ptr<SocketChannel>> channels;
    int result = qel::kOk;
    long long elapsed = 0;
    while (result == qel::kOk && channels.size() < 8) {
        channels.push_back(std::make_unique<SocketChannel>());
        const auto start = Clock::now();
        result = channels.back()->Open(&params);
        elapsed = MillisecondsSince(start);
    }
    Access::ConnectSteps() = saved;
    EXPECT_EQ(result, qel::kErrConnectTimeout);
    EXPECT_GE(elapsed, 150);
    EXPECT_LT(elapsed, 5000);
    EXPECT_EQ(Access::Socket(*channels.back()), platform::kInvalidSocket);
    for (auto& channel : channels) {
        channel->Close();
    }
}

TEST(SocketChannel, NoDescriptorLeftGives5014) {
    SocketChannel channel;
    _socket_open_params params = Params(UnusedLoopbackPort());
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(lowestFree);
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    const int result = channel.Open(&params);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(result, qel::kErrSocketCreate);
}

void InterruptOnly(int) {}

TEST_F(ConnectedChannel, SignalsDoNotStretchTheWaitForData) {
    struct sigaction interrupting {};
    interrupting.sa_handler = &InterruptOnly;  // no SA_RESTART: every signal ends a poll early
    struct sigaction saved {};
    ASSERT_EQ(sigaction(SIGUSR1, &interrupting, &saved), 0);
    Access::SetTimeout(m_channel, 1000);
    std::atomic<bool> done{false};
    const pthread_t reader = pthread_self();
    std::thread signaller([&] {
        for (int i = 0; i < 200 && !done; ++i) {  // at most four seconds of signals
            pthread_kill(reader, SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = Clock::now();
    int result = -1;
    ReadText(1, &result);
    const long long elapsed = MillisecondsSince(start);
    done = true;
    signaller.join();
    sigaction(SIGUSR1, &saved, nullptr);
    EXPECT_EQ(result, qel::kErrReadTimeout);
    EXPECT_LT(elapsed, 3000);
}

#ifdef __linux__
// Segments with data that have arrived at a socket.
unsigned DataSegmentsIn(platform::SocketHandle socket) {
    tcp_info info{};
    socklen_t size = sizeof info;
    getsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_INFO, &info, &size);
    return info.tcpi_data_segs_in;
}

TEST_F(ConnectedChannel, APageRequestReachesThePeerInOneSegment) {
    const unsigned before = DataSegmentsIn(m_peer.Connection());
    const std::string frame(540, 'r');  // three sends, then the CR
    ASSERT_TRUE(m_peer.Send("Z"));
    ASSERT_EQ(WriteText(frame), qel::kOk);
    ASSERT_EQ(WriteText("\r"), qel::kOk);
    int result = -1;
    EXPECT_EQ(ReadText(1, &result), "Z");  // the wait for the reply lets the request go
    EXPECT_EQ(result, qel::kOk);
    EXPECT_EQ(m_peer.Receive(541), frame + "\r");
    EXPECT_EQ(DataSegmentsIn(m_peer.Connection()) - before, 1u);
}
#endif

int g_brokenPipeSignals = 0;
void CountBrokenPipe(int) {
    ++g_brokenPipeSignals;
}

TEST_F(ConnectedChannel, WriteToAPeerThatClosedGives5024WithoutSigpipe) {
    struct sigaction counting {};
    counting.sa_handler = &CountBrokenPipe;
    struct sigaction saved {};
    ASSERT_EQ(sigaction(SIGPIPE, &counting, &saved), 0);
    g_brokenPipeSignals = 0;

    m_peer.CloseConnection(true);  // the peer resets the connection
    ASSERT_GT(platform::WaitReadable(Access::Socket(m_channel), LoopbackPeer::kWaitMs), 0);
    EXPECT_EQ(WriteText("Z0A}01"), qel::kErrWrite);
    EXPECT_EQ(WriteText("\r"), qel::kErrWrite);

    sigaction(SIGPIPE, &saved, nullptr);
    EXPECT_EQ(g_brokenPipeSignals, 0);
}

// A record-keeping pair: each send arrives as one piece and each receive takes at most one, so
// the channel's pieces can be counted exactly.
class SocketChannelPieces : public ::testing::Test {
  protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        m_peer = ends[1];
        Access::SetSocket(m_channel, ends[0]);
        Access::SetTimeout(m_channel, 5000);
    }
    void TearDown() override {
        m_channel.Close();
        close(m_peer);
    }

    void SendPieces(std::vector<std::string> pieces) {
        for (const std::string& piece : pieces) {
            ASSERT_TRUE(SendText(m_peer, piece));
        }
    }
    std::vector<std::size_t> ReceivedPieceSizes() {
        std::vector<std::size_t> sizes;
        char piece[2048];
        for (ssize_t got; (got = recv(m_peer, piece, sizeof piece, MSG_DONTWAIT)) > 0;) {
            sizes.push_back(static_cast<std::size_t>(got));
        }
        return sizes;
    }

    SocketChannel m_channel;
    int m_peer = -1;
};

TEST_F(SocketChannelPieces, ReplyInSeveralPiecesIsAssembled) {
    SendPieces({"Z8A}0", "2000000", "B1\r"});
    char reply[16] = {};
    EXPECT_EQ(m_channel.Read(reply, 15), qel::kOk);
    EXPECT_EQ(std::string(reply), "Z8A}02000000B1\r");

    SendPieces({std::string(1024, 'p'), std::string(476, 'q')});  // never asks beyond 1024
    std::string text(1500, '\0');
    EXPECT_EQ(m_channel.Read(text.data(), 1500), qel::kOk);
    EXPECT_EQ(text, std::string(1024, 'p') + std::string(476, 'q'));
}

TEST_F(SocketChannelPieces, AtMostTwentyReceivesPerRead) {
    SendPieces(std::vector<std::string>(41, "a"));
    std::string text(21, '\0');
    EXPECT_EQ(m_channel.Read(text.data(), 20), qel::kOk);
    EXPECT_EQ(m_channel.Read(text.data(), 21), qel::kErrReadIncomplete);
}

struct WriteCase {
    const char* name;
    int length;
    int expected;
    std::vector<std::size_t> pieces;
};

class SocketChannelWritePieces : public SocketChannelPieces,
                                 public ::testing::WithParamInterface<WriteCase> {};

TEST_P(SocketChannelWritePieces, LeaveInPiecesOfAtMost256BytesAndAtMostTen) {
    std::string request(3000, 'r');
    EXPECT_EQ(m_channel.Write(request.data(), GetParam().length), GetParam().expected);
    EXPECT_EQ(ReceivedPieceSizes(), GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SocketChannelWritePieces,
    ::testing::Values(WriteCase{"APageRequest", 540, qel::kOk, {256, 256, 28}},
                      WriteCase{"OneByte", 1, qel::kOk, {1}},
                      WriteCase{"MoreThanTenPieces", 2561, qel::kErrWriteIncomplete,
                                std::vector<std::size_t>(10, 256)},
                      WriteCase{"NegativeLength", -1, qel::kErrWriteIncomplete, {}}),
    CaseName());

TEST_F(SocketChannelPieces, FullSendBufferIsRetriedAfterPauses) {
    const int fd = Access::Socket(m_channel);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    while (send(fd, "fill", 4, MSG_NOSIGNAL) > 0) {
    }
    SleepRecorder sleeps;
    char byte = 'x';
    EXPECT_EQ(m_channel.Write(&byte, 1), qel::kErrWriteIncomplete);
    EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>(10, 100));
}

}  // namespace
}  // namespace socket_test
