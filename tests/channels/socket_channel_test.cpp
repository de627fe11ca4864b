#include "socket_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "qel_codes.h"
#include "sleep_recorder.h"

class SocketChannelTestAccess {
  public:
    using ConnectSteps = SocketChannel::ConnectSteps;
    static platform::SocketHandle Socket(const SocketChannel& channel) { return channel.m_socket; }
    static void SetSocket(SocketChannel& channel, platform::SocketHandle socket) {
        channel.m_socket = socket;
    }
    static void SetTimeout(SocketChannel& channel, int milliseconds) {
        channel.m_params.timeout = milliseconds;
    }
    static ConnectSteps& Steps() { return SocketChannel::s_connectSteps; }
};

namespace {

using Access = SocketChannelTestAccess;
using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

_socket_open_params Params(int port, int timeout, const char* address = "127.0.0.1") {
    _socket_open_params params{};
    params.port = port;
    params.timeout = timeout;
    std::strncpy(params.address, address, sizeof params.address - 1);
    return params;
}

// The lowest descriptor number the next open would get: unchanged when nothing leaked.
int LowestFreeDescriptor() {
    int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(fd);
    return fd;
}

bool WaitUntilReadable(int fd, int timeoutMilliseconds = 2000) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, timeoutMilliseconds) > 0;
}

// Reads what the peer end holds until count bytes or the bound.
std::string ReceiveAll(int fd, std::size_t count) {
    std::string text;
    while (text.size() < count && WaitUntilReadable(fd)) {
        char piece[4096];
        ssize_t got = recv(fd, piece, std::min(sizeof piece, count - text.size()), 0);
        if (got <= 0) {
            break;
        }
        text.append(piece, static_cast<std::size_t>(got));
    }
    return text;
}

bool SendText(int fd, const std::string& text) {
    return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

class LoopbackListener {
  public:
    explicit LoopbackListener(int backlog = 8) {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            listen(m_fd, backlog) == 0 &&
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~LoopbackListener() { close(m_fd); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const { return m_port; }
    int Fd() const { return m_fd; }

    // The next queued connection, or -1 when none comes within the bound.
    int Accept(int timeoutMilliseconds = 2000) {
        if (!WaitUntilReadable(m_fd, timeoutMilliseconds)) {
            return -1;
        }
        return accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    }

  private:
    int m_fd = -1;
    int m_port = 0;
};

// A port on loopback that nobody listens on.
int UnusedLoopbackPort() {
    LoopbackListener probe;
    return probe.Port();
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            close(m_fd);
        }
        m_fd = fd;
    }

  private:
    int m_fd;
};

// Restores the connect step after a test replaced parts of it.
class ConnectStepsGuard {
  public:
    ConnectStepsGuard() : m_saved(Access::Steps()) {}
    ~ConnectStepsGuard() { Access::Steps() = m_saved; }
    ConnectStepsGuard(const ConnectStepsGuard&) = delete;
    ConnectStepsGuard& operator=(const ConnectStepsGuard&) = delete;

  private:
    Access::ConnectSteps m_saved;
};

class ConnectedChannel : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(m_listener.Port(), 0);
        _socket_open_params params = Params(m_listener.Port(), 5000);
        ASSERT_EQ(m_channel.Open(&params), qel::kOk);
        m_peer.Reset(m_listener.Accept());
        ASSERT_GE(m_peer.Get(), 0);
    }
    void TearDown() override { m_channel.Close(); }

    std::string ReadText(int length, int* result) {
        std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
        *result = m_channel.Read(text.data(), length);
        return text;
    }
    int WriteText(std::string text) {
        return m_channel.Write(text.data(), static_cast<int>(text.size()));
    }

    LoopbackListener m_listener;
    SocketChannel m_channel;
    Descriptor m_peer;
};

// ---- Open ----

TEST_F(ConnectedChannel, ConnectedSocketBlocksAndSendsWithoutDelay) {
    int fd = Access::Socket(m_channel);
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
    EXPECT_NE(noDelay, 0);
}

TEST_F(ConnectedChannel, OpenAgainClosesTheSocketItHeld) {
    _socket_open_params params = Params(m_listener.Port(), 5000);
    ASSERT_EQ(m_channel.Open(&params), qel::kOk);
    // The first connection's peer sees it end.
    ASSERT_TRUE(WaitUntilReadable(m_peer.Get()));
    char byte;
    EXPECT_EQ(recv(m_peer.Get(), &byte, 1, 0), 0);
}

TEST(SocketChannel, OnlyTheLowSixteenBitsOfThePortCount) {
    LoopbackListener listener;
    SocketChannel channel;
    _socket_open_params params = Params(listener.Port() + 0x10000, 5000);
    EXPECT_EQ(channel.Open(&params), qel::kOk);
    channel.Close();
}

struct AddressCase {
    const char* name;
    const char* address;
};

class SocketChannelUnresolvable : public ::testing::TestWithParam<AddressCase> {};

TEST_P(SocketChannelUnresolvable, Gives5015AndHoldsNoSocket) {
    int lowestFree = LowestFreeDescriptor();
    SocketChannel channel;
    _socket_open_params params = Params(UnusedLoopbackPort(), 5000, GetParam().address);
    EXPECT_EQ(channel.Open(&params), qel::kErrHostResolve);
    EXPECT_EQ(Access::Socket(channel), platform::kInvalidSocket);
    EXPECT_EQ(LowestFreeDescriptor(), lowestFree);
}

INSTANTIATE_TEST_SUITE_P(Addresses, SocketChannelUnresolvable,
                         ::testing::Values(AddressCase{"ReservedName", "no-such-device.invalid"},
                                           AddressCase{"Empty", ""}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(SocketChannel, AddressFillingAllTwentyFourBytesIsNotReadPast) {
    SocketChannel channel;
    _socket_open_params params = Params(UnusedLoopbackPort(), 5000);
    std::memset(params.address, 'a', sizeof params.address);  // no terminator inside the record
    EXPECT_EQ(channel.Open(&params), qel::kErrHostResolve);
}

TEST(SocketChannel, MissingRecordGives5015) {
    SocketChannel channel;
    EXPECT_EQ(channel.Open(nullptr), qel::kErrHostResolve);
    EXPECT_EQ(Access::Socket(channel), platform::kInvalidSocket);
}

TEST(SocketChannel, RefusedConnectionGives5020AndClosesItsSocket) {
    int lowestFree = LowestFreeDescriptor();
    SocketChannel channel;
    _socket_open_params params = Params(UnusedLoopbackPort(), 5000);
    EXPECT_EQ(channel.Open(&params), qel::kErrConnectRefused);
    EXPECT_EQ(Access::Socket(channel), platform::kInvalidSocket);
    EXPECT_EQ(LowestFreeDescriptor(), lowestFree);
}

TEST(SocketChannel, ConnectionThatNeverCompletesGives5018AtTheLimit) {
    ConnectStepsGuard guard;
    Access::Steps().limitMilliseconds = 200;
    // A listener that never accepts: once its queue is full, further handshakes go unanswered.
    LoopbackListener listener(0);
    std::vector<std::unique_ptr<SocketChannel>> queued;
    _socket_open_params params = Params(listener.Port(), 5000);
    int result = qel::kOk;
    for (int i = 0; i < 8 && result == qel::kOk; ++i) {
        queued.push_back(std::make_unique<SocketChannel>());
        auto start = Clock::now();
        result = queued.back()->Open(&params);
        if (result == qel::kErrConnectTimeout) {
            EXPECT_GE(MillisecondsSince(start), 150);
            EXPECT_LT(MillisecondsSince(start), 5000);
            EXPECT_EQ(Access::Socket(*queued.back()), platform::kInvalidSocket);
        }
    }
    EXPECT_EQ(result, qel::kErrConnectTimeout);
    for (auto& channel : queued) {
        channel->Close();
    }
}

int ConnectFailsAtOnce(platform::SocketHandle, std::uint32_t, std::uint16_t) {
    return 10061;  // refused before any wait
}
int ConnectPending(platform::SocketHandle, std::uint32_t, std::uint16_t) {
    return platform::kErrorWouldBlock;
}
int WaitFails(platform::SocketHandle, int) {
    return -1;
}

struct ConnectCase {
    const char* name;
    int (*start)(platform::SocketHandle, std::uint32_t, std::uint16_t);
    int (*wait)(platform::SocketHandle, int);
    int expected;
};

class SocketChannelConnectFailure : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(SocketChannelConnectFailure, GivesItsCodeAndClosesTheSocket) {
    ConnectStepsGuard guard;
    Access::Steps().start = GetParam().start;
    if (GetParam().wait != nullptr) {
        Access::Steps().wait = GetParam().wait;
    }
    LoopbackListener listener;
    int lowestFree = LowestFreeDescriptor();
    SocketChannel channel;
    _socket_open_params params = Params(listener.Port(), 5000);
    EXPECT_EQ(channel.Open(&params), GetParam().expected);
    EXPECT_EQ(Access::Socket(channel), platform::kInvalidSocket);
    EXPECT_EQ(LowestFreeDescriptor(), lowestFree);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SocketChannelConnectFailure,
    ::testing::Values(ConnectCase{"FailsAtOnce", &ConnectFailsAtOnce, nullptr, qel::kErrConnect},
                      ConnectCase{"WaitFails", &ConnectPending, &WaitFails, qel::kErrConnectWait}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(SocketChannel, NoDescriptorLeftGives5014) {
    LoopbackListener listener;
    SocketChannel channel;
    _socket_open_params params = Params(listener.Port(), 5000);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(LowestFreeDescriptor());
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    int result = channel.Open(&params);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(result, qel::kErrSocketCreate);
    EXPECT_EQ(Access::Socket(channel), platform::kInvalidSocket);
}

// ---- Read ----

TEST(SocketChannel, ReadOfNothingSucceedsWithoutASocketAndNegativeLengthGives5023) {
    SocketChannel channel;
    char buffer[1] = {};
    EXPECT_EQ(channel.Read(buffer, 0), qel::kOk);
    EXPECT_EQ(channel.Read(buffer, -1), qel::kErrReadIncomplete);
}

TEST_F(ConnectedChannel, ReplyFollowedByMoreLeavesTheRestForTheNextRead) {
    ASSERT_TRUE(SendText(m_peer.Get(), "Z8A}02000000B1\rZ8A}03"));
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

    ASSERT_TRUE(SendText(m_peer.Get(), "ok"));
    ASSERT_TRUE(WaitUntilReadable(Access::Socket(m_channel)));
    EXPECT_EQ(ReadText(2, &result), "ok");
    EXPECT_EQ(result, qel::kOk);
}

TEST_F(ConnectedChannel, NegativeTimeOutGives5021EvenWithDataWaiting) {
    Access::SetTimeout(m_channel, -1000);
    ASSERT_TRUE(SendText(m_peer.Get(), "x"));
    ASSERT_TRUE(WaitUntilReadable(Access::Socket(m_channel)));
    int result = -1;
    ReadText(1, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
}

TEST_F(ConnectedChannel, PeerClosingWhileAReplyIsAwaitedGives5022) {
    ASSERT_TRUE(SendText(m_peer.Get(), "Z8"));
    m_peer.Reset();
    int result = -1;
    ReadText(15, &result);
    EXPECT_EQ(result, qel::kErrReadClosed);
}

TEST_F(ConnectedChannel, ReadAfterCloseGives5021AndWriteGives5024) {
    m_channel.Close();
    int result = -1;
    ReadText(15, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
    EXPECT_EQ(WriteText("Z0A}01"), qel::kErrWrite);
}

TEST_F(ConnectedChannel, CloseTwiceIsHarmless) {
    m_channel.Close();
    m_channel.Close();
    EXPECT_EQ(Access::Socket(m_channel), platform::kInvalidSocket);
    SocketChannel neverOpened;
    neverOpened.Close();
}

// A record-preserving pair: every send arrives as one piece and every receive takes at most one,
// so the channel's piece handling can be watched exactly.
class SocketChannelOverPacketPair : public ::testing::Test {
  protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        m_peer.Reset(ends[1]);
        Access::SetSocket(m_channel, ends[0]);
        Access::SetTimeout(m_channel, 5000);
    }
    void TearDown() override { m_channel.Close(); }

    void SendPieces(int count, const std::string& piece) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(SendText(m_peer.Get(), piece));
        }
    }
    std::vector<std::size_t> PieceSizes() {
        std::vector<std::size_t> sizes;
        char piece[2048];
        pollfd entry{m_peer.Get(), POLLIN, 0};
        while (poll(&entry, 1, 0) > 0) {
            ssize_t got = recv(m_peer.Get(), piece, sizeof piece, 0);
            if (got <= 0) {
                break;
            }
            sizes.push_back(static_cast<std::size_t>(got));
        }
        return sizes;
    }

    SocketChannel m_channel;
    Descriptor m_peer;
};

TEST_F(SocketChannelOverPacketPair, ReplyInSeveralPiecesIsAssembled) {
    SendPieces(1, "Z8A}0");
    SendPieces(1, "2000000");
    SendPieces(1, "B1\r");
    char reply[16] = {};
    EXPECT_EQ(m_channel.Read(reply, 15), qel::kOk);
    EXPECT_EQ(std::string(reply), "Z8A}02000000B1\r");
}

struct ReceiveCountCase {
    int pieces;
    int expected;
};

class SocketChannelReceiveLimit : public SocketChannelOverPacketPair,
                                  public ::testing::WithParamInterface<ReceiveCountCase> {};

TEST_P(SocketChannelReceiveLimit, AtMostTwentyReceivesPerRead) {
    SendPieces(GetParam().pieces, "a");
    std::string buffer(static_cast<std::size_t>(GetParam().pieces), '\0');
    EXPECT_EQ(m_channel.Read(buffer.data(), GetParam().pieces), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Pieces, SocketChannelReceiveLimit,
                         ::testing::Values(ReceiveCountCase{20, qel::kOk},
                                           ReceiveCountCase{21, qel::kErrReadIncomplete}));

TEST_F(SocketChannelOverPacketPair, LongReadAsksForAtMost1024BytesAtATime) {
    SendPieces(1, std::string(1024, 'p'));
    SendPieces(1, std::string(476, 'q'));
    std::string buffer(1500, '\0');
    EXPECT_EQ(m_channel.Read(buffer.data(), 1500), qel::kOk);
    EXPECT_EQ(buffer, std::string(1024, 'p') + std::string(476, 'q'));
}

// ---- Write ----

TEST_F(SocketChannelOverPacketPair, RequestLeavesInPiecesOfAtMost256Bytes) {
    std::string request(540, 'r');
    EXPECT_EQ(m_channel.Write(request.data(), 540), qel::kOk);
    EXPECT_EQ(PieceSizes(), (std::vector<std::size_t>{256, 256, 28}));
}

TEST_F(SocketChannelOverPacketPair, MoreThanTenPiecesGives5025) {
    std::string request(2561, 'r');
    EXPECT_EQ(m_channel.Write(request.data(), 2561), qel::kErrWriteIncomplete);
    EXPECT_EQ(PieceSizes(), std::vector<std::size_t>(10, 256));
}

TEST_F(SocketChannelOverPacketPair, NegativeLengthSendsNothing) {
    char byte = 'x';
    EXPECT_EQ(m_channel.Write(&byte, -1), qel::kErrWriteIncomplete);
    EXPECT_TRUE(PieceSizes().empty());
}

TEST_F(SocketChannelOverPacketPair, FullSendBufferIsRetriedAfterPauses) {
    int fd = Access::Socket(m_channel);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::string block(256, 'f');
    for (int i = 0; i < 100000 && send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0; ++i) {
    }
    SleepRecorder sleeps;
    char byte = 'x';
    EXPECT_EQ(m_channel.Write(&byte, 1), qel::kErrWriteIncomplete);
    EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>(10, 100));
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

    // The peer resets the connection; once that reaches the channel, sends fail.
    linger abortive{1, 0};
    setsockopt(m_peer.Get(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    m_peer.Reset();
    ASSERT_TRUE(WaitUntilReadable(Access::Socket(m_channel)));
    EXPECT_EQ(WriteText("Z0A}01"), qel::kErrWrite);
    EXPECT_EQ(WriteText("\r"), qel::kErrWrite);

    sigaction(SIGPIPE, &saved, nullptr);
    EXPECT_EQ(g_brokenPipeSignals, 0);
}

TEST_F(ConnectedChannel, WrittenTextArrivesWholeAndInOrder) {
    std::string request;
    for (int i = 0; i < 540; ++i) {
        request += static_cast<char>('A' + i % 26);
    }
    EXPECT_EQ(WriteText(request), qel::kOk);
    EXPECT_EQ(ReceiveAll(m_peer.Get(), request.size()), request);
}

TEST(SocketChannel, CopiesTalkOverTheSameSocket) {
    SocketChannel original;
    Access::SetSocket(original, 42);
    SocketChannel copy(original);
    SocketChannel moved(std::move(original));
    EXPECT_EQ(Access::Socket(copy), 42);
    EXPECT_EQ(Access::Socket(moved), 42);
    EXPECT_EQ(Access::Socket(original), 42);
    Access::SetSocket(original, platform::kInvalidSocket);
    Access::SetSocket(copy, platform::kInvalidSocket);
    Access::SetSocket(moved, platform::kInvalidSocket);
}

}  // namespace
