#include "socket_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform.h"
#include "qel_codes.h"
#include "sleep_recorder.h"

class SocketChannelTestAccess {
  public:
    using Steps = SocketChannel::ConnectSteps;
    static platform::SocketHandle Socket(const SocketChannel& channel) { return channel.m_socket; }
    static void SetSocket(SocketChannel& channel, platform::SocketHandle socket) {
        channel.m_socket = socket;
    }
    static void SetTimeout(SocketChannel& channel, int milliseconds) {
        channel.m_params.timeout = milliseconds;
    }
    static Steps& ConnectSteps() { return SocketChannel::s_connectSteps; }
};

namespace {

using Access = SocketChannelTestAccess;
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The address is copied without a terminator when it fills the record.
_socket_open_params Params(int port, const std::string& address = "127.0.0.1") {
    _socket_open_params params{port, 5000, {}};
    std::memcpy(params.address, address.data(), std::min(address.size(), sizeof params.address));
    return params;
}

// The number the next descriptor would get: unchanged when nothing leaked.
int LowestFreeDescriptor() {
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(fd);
    return fd;
}

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 2000) > 0;
}

bool SendText(int fd, const std::string& text) {
    return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

struct Fd {
    int value = -1;
    ~Fd() { Reset(); }
    void Reset(int fd = -1) {
        if (value >= 0) {
            close(value);
        }
        value = fd;
    }
};

// Bound to a free loopback port; connections queue until accepted.
struct Listener {
    explicit Listener(int backlog = 8) {
        fd.value = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(fd.value, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(fd.value, backlog) == 0 &&
            getsockname(fd.value, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            port = ntohs(address.sin_port);
        }
    }
    int Accept() {
        return Readable(fd.value) ? accept4(fd.value, nullptr, nullptr, SOCK_CLOEXEC) : -1;
    }
    Fd fd;
    int port = 0;
};

int UnusedLoopbackPort() {
    return Listener().port;
}

class ConnectedChannel : public ::testing::Test {
  protected:
    void SetUp() override {
        _socket_open_params params = Params(m_listener.port);
        ASSERT_EQ(m_channel.Open(&params), qel::kOk);
        m_peer.Reset(m_listener.Accept());
        ASSERT_GE(m_peer.value, 0);
    }
    void TearDown() override { m_channel.Close(); }

    std::string ReadText(int length, int* result) {
        std::string text(static_cast<std::size_t>(length), '\0');
        *result = m_channel.Read(text.data(), length);
        return text;
    }
    int WriteText(std::string text) {
        return m_channel.Write(text.data(), static_cast<int>(text.size()));
    }

    Listener m_listener;
    SocketChannel m_channel;
    Fd m_peer;
};

TEST_F(ConnectedChannel, ConnectedSocketBlocksSendsAtOnceAndGivesWayToTheNextOpen) {
    int fd = Access::Socket(m_channel);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
    EXPECT_NE(noDelay, 0);

    _socket_open_params params = Params(m_listener.port);
    ASSERT_EQ(m_channel.Open(&params), qel::kOk);
    char byte;
    ASSERT_TRUE(Readable(m_peer.value));
    EXPECT_EQ(recv(m_peer.value, &byte, 1, 0), 0);  // the first connection was closed
}

int ConnectFailsAtOnce(platform::SocketHandle, std::uint32_t, std::uint16_t) {
    return 10061;
}
int ConnectPending(platform::SocketHandle, std::uint32_t, std::uint16_t) {
    return platform::kErrorWouldBlock;
}
int WaitFails(platform::SocketHandle, int) {
    return -1;
}

struct OpenFailureCase {
    const char* name;
    std::string address;
    int expected;
    Access::Steps steps;
};

class SocketChannelOpenFailure : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(SocketChannelOpenFailure, GivesItsCodeAndKeepsNoSocket) {
    const Access::Steps saved = Access::ConnectSteps();
    if (GetParam().steps.start != nullptr) {
        Access::ConnectSteps() = GetParam().steps;
    }
    int lowestFree = LowestFreeDescriptor();
    SocketChannel channel;
    _socket_open_params params = Params(UnusedLoopbackPort(), GetParam().address);
    EXPECT_EQ(channel.Open(&params), GetParam().expected);
    Access::ConnectSteps() = saved;
    EXPECT_EQ(Access::Socket(channel), platform::kInvalidSocket);
    EXPECT_EQ(LowestFreeDescriptor(), lowestFree);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, SocketChannelOpenFailure,
    ::testing::Values(
        OpenFailureCase{"ReservedName", "no-such-device.invalid", qel::kErrHostResolve, {}},
        OpenFailureCase{"EmptyAddress", "", qel::kErrHostResolve, {}},
        OpenFailureCase{"AddressWithoutTerminator", std::string(24, 'a'), qel::kErrHostResolve, {}},
        OpenFailureCase{"Refused", "127.0.0.1", qel::kErrConnectRefused, {}},
        OpenFailureCase{"ConnectFailsAtOnce",
                        "127.0.0.1",
                        qel::kErrConnect,
                        {&ConnectFailsAtOnce, &WaitFails, 1000}},
        OpenFailureCase{
            "WaitFails", "127.0.0.1", qel::kErrConnectWait, {&ConnectPending, &WaitFails, 1000}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(SocketChannel, ConnectionThatNeverCompletesGives5018AtTheLimit) {
    const Access::Steps saved = Access::ConnectSteps();
    Access::ConnectSteps().limitMilliseconds = 200;
    // Nobody accepts: once the listener's queue is full, further handshakes go unanswered.
    Listener listener(0);
    _socket_open_params params = Params(listener.port);
    std::vector<std::unique_ptr<SocketChannel>> channels;
    int result = qel::kOk;
    long long elapsed = 0;
    while (result == qel::kOk && channels.size() < 8) {
        channels.push_back(std::make_unique<SocketChannel>());
        auto start = Clock::now();
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
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(LowestFreeDescriptor());
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    int result = channel.Open(&params);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(result, qel::kErrSocketCreate);
}

TEST(SocketChannel, MissingRecordGives5015) {
    SocketChannel channel;
    EXPECT_EQ(channel.Open(nullptr), qel::kErrHostResolve);
}

TEST(SocketChannel, ReadOfNothingNeedsNoSocketAndNegativeLengthGives5023) {
    SocketChannel channel;
    char buffer[1] = {};
    EXPECT_EQ(channel.Read(buffer, 0), qel::kOk);
    EXPECT_EQ(channel.Read(buffer, -1), qel::kErrReadIncomplete);
}

TEST_F(ConnectedChannel, ReplyFollowedByMoreLeavesTheRestForTheNextRead) {
    ASSERT_TRUE(SendText(m_peer.value, "Z8A}02000000B1\rZ8A}03"));
    int result = -1;
    EXPECT_EQ(ReadText(15, &result), "Z8A}02000000B1\r");
    EXPECT_EQ(result, qel::kOk);
    EXPECT_EQ(ReadText(6, &result), "Z8A}03");
    EXPECT_EQ(result, qel::kOk);
}

TEST_F(ConnectedChannel, TimeOutBelowASecondTakesOnlyWhatHasArrived) {
    Access::SetTimeout(m_channel, 999);
    int result = -1;
    auto start = Clock::now();
    ReadText(1, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
    EXPECT_LT(MillisecondsSince(start), 900);  // a wait of 0 seconds, not of one

    ASSERT_TRUE(SendText(m_peer.value, "ok"));
    ASSERT_TRUE(Readable(Access::Socket(m_channel)));
    EXPECT_EQ(ReadText(2, &result), "ok");
    EXPECT_EQ(result, qel::kOk);

    Access::SetTimeout(m_channel, -1000);  // a negative wait: data or not, nothing is read
    ASSERT_TRUE(SendText(m_peer.value, "x"));
    ASSERT_TRUE(Readable(Access::Socket(m_channel)));
    ReadText(1, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
}

TEST_F(ConnectedChannel, PeerClosingWhileAReplyIsAwaitedGives5022) {
    ASSERT_TRUE(SendText(m_peer.value, "Z8"));
    m_peer.Reset();
    int result = -1;
    ReadText(15, &result);
    EXPECT_EQ(result, qel::kErrReadClosed);
}

TEST_F(ConnectedChannel, AfterCloseReadGives5021WriteGives5024AndCloseIsHarmless) {
    m_channel.Close();
    m_channel.Close();
    int result = -1;
    ReadText(15, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
    EXPECT_EQ(WriteText("Z0A}01"), qel::kErrWrite);
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
    auto start = Clock::now();
    int result = -1;
    ReadText(1, &result);
    long long elapsed = MillisecondsSince(start);
    done = true;
    signaller.join();
    sigaction(SIGUSR1, &saved, nullptr);
    EXPECT_EQ(result, qel::kErrReadTimeout);
    EXPECT_LT(elapsed, 3000);
}

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

    linger abortive{1, 0};  // the peer resets the connection
    setsockopt(m_peer.value, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    m_peer.Reset();
    ASSERT_TRUE(Readable(Access::Socket(m_channel)));
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
        m_peer.Reset(ends[1]);
        Access::SetSocket(m_channel, ends[0]);
        Access::SetTimeout(m_channel, 5000);
    }
    void TearDown() override { m_channel.Close(); }

    void SendPieces(std::vector<std::string> pieces) {
        for (const std::string& piece : pieces) {
            ASSERT_TRUE(SendText(m_peer.value, piece));
        }
    }
    std::vector<std::size_t> ReceivedPieceSizes() {
        std::vector<std::size_t> sizes;
        char piece[2048];
        for (ssize_t got; (got = recv(m_peer.value, piece, sizeof piece, MSG_DONTWAIT)) > 0;) {
            sizes.push_back(static_cast<std::size_t>(got));
        }
        return sizes;
    }

    SocketChannel m_channel;
    Fd m_peer;
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
    ::testing::Values(WriteCase{540, qel::kOk, {256, 256, 28}}, WriteCase{1, qel::kOk, {1}},
                      WriteCase{2561, qel::kErrWriteIncomplete, std::vector<std::size_t>(10, 256)},
                      WriteCase{-1, qel::kErrWriteIncomplete, {}}));

TEST_F(SocketChannelPieces, FullSendBufferIsRetriedAfterPauses) {
    int fd = Access::Socket(m_channel);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    while (send(fd, "fill", 4, MSG_NOSIGNAL) > 0) {
    }
    SleepRecorder sleeps;
    char byte = 'x';
    EXPECT_EQ(m_channel.Write(&byte, 1), qel::kErrWriteIncomplete);
    EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>(10, 100));
}

}  // namespace
