// The Winsock side of the platform socket helpers and of the socket channel, against a peer on
// 127.0.0.1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loopback_peer.h"
#include "platform.h"
#include "qel_codes.h"
#include "sleep_recorder.h"
#include "socket_channel.h"

namespace {

using platform::kInvalidSocket;
using platform::SocketHandle;

constexpr std::uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 in network order
constexpr int kWaitMs = 5000;

// Closes a socket handle when the test leaves.
class Held {
  public:
    explicit Held(SocketHandle socket) : m_socket(socket) {}
    ~Held() { platform::CloseSocketHandle(m_socket); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    SocketHandle Get() const { return m_socket; }

  private:
    SocketHandle m_socket;
};

// Starts a non-blocking connect; returns whether it went on (or finished) as Winsock promises.
bool StartConnect(SocketHandle socket, std::uint16_t port) {
    platform::SetSocketNonBlocking(socket, true);
    return platform::ConnectIPv4(socket, kLoopback, port) == 0 ||
           platform::LastSocketError() == platform::kErrorWouldBlock;
}

TEST(WinsockHelpers, ANonBlockingConnectCompletesWithoutPendingError) {
    LoopbackPeer peer;
    Held client(platform::OpenTcpSocket());
    ASSERT_NE(client.Get(), kInvalidSocket);

    ASSERT_TRUE(StartConnect(client.Get(), peer.Port()));
    EXPECT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    int error = -1;
    ASSERT_TRUE(platform::PendingSocketError(client.Get(), &error));
    EXPECT_EQ(error, 0);
}

TEST(WinsockHelpers, ARefusedConnectEndsTheWaitWithAPendingError) {
    const auto freePort = static_cast<std::uint16_t>(UnusedLoopbackPort());
    Held client(platform::OpenTcpSocket());
    platform::SetSocketNonBlocking(client.Get(), true);
    if (platform::ConnectIPv4(client.Get(), kLoopback, freePort) != 0 &&
        platform::LastSocketError() != platform::kErrorWouldBlock) {
        // Refused at once: the stack may know the answer before connect returns.
        EXPECT_EQ(platform::LastSocketError(), WSAECONNREFUSED);
        return;
    }
    EXPECT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    int error = 0;
    ASSERT_TRUE(platform::PendingSocketError(client.Get(), &error));
    EXPECT_EQ(error, WSAECONNREFUSED);
}

TEST(WinsockHelpers, BytesTravelBothWaysAndTheWaitSeesThem) {
    LoopbackPeer peer;
    Held client(platform::OpenTcpSocket());
    ASSERT_TRUE(StartConnect(client.Get(), peer.Port()));
    ASSERT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    platform::SetSocketNonBlocking(client.Get(), false);
    platform::SetSocketNoDelay(client.Get());
    ASSERT_TRUE(peer.Accept());
    const SocketHandle server = peer.Connection();

    EXPECT_EQ(platform::WaitReadable(server, 0), 0);
    ASSERT_EQ(platform::SendBytes(client.Get(), "5A0A\r", 5), 5);
    ASSERT_GT(platform::WaitReadable(server, kWaitMs), 0);
    char buffer[16] = {};
    EXPECT_EQ(platform::ReceiveBytes(server, buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "5A0");
    EXPECT_EQ(platform::ReceiveBytes(server, buffer, 16), 2);
    EXPECT_EQ(std::string(buffer, 2), "A\r");
}

TEST(WinsockHelpers, APeerThatClosesIsReadableWithNothingToReceive) {
    LoopbackPeer peer;
    Held client(platform::OpenTcpSocket());
    ASSERT_TRUE(StartConnect(client.Get(), peer.Port()));
    ASSERT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    platform::SetSocketNonBlocking(client.Get(), false);
    ASSERT_TRUE(peer.Accept());
    peer.CloseConnection();

    ASSERT_GT(platform::WaitReadable(client.Get(), kWaitMs), 0);
    char buffer[4];
    EXPECT_EQ(platform::ReceiveBytes(client.Get(), buffer, 4), 0);
}

TEST(WinsockHelpers, AFullSendBufferIsReportedAsTheRetriedCondition) {
    LoopbackPeer peer;
    Held client(platform::OpenTcpSocket());
    ASSERT_TRUE(StartConnect(client.Get(), peer.Port()));
    ASSERT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    ASSERT_TRUE(peer.Accept());  // accepted, never read

    const std::vector<char> piece(64 * 1024, 'A');
    int result = 0;
    for (int sends = 0; sends < 4096 && result >= 0; ++sends) {
        result = platform::SendBytes(client.Get(), piece.data(), static_cast<int>(piece.size()));
    }
    ASSERT_LT(result, 0) << "the send buffer never filled";
    EXPECT_EQ(platform::LastSocketError(), platform::kErrorInProgress);
}

TEST(WinsockHelpers, NoSocketFailsEveryCallWithoutHarm) {
    EXPECT_EQ(platform::CloseSocketHandle(kInvalidSocket), WSAENOTSOCK);
    EXPECT_EQ(platform::WaitReadable(kInvalidSocket, 0), -1);
    EXPECT_EQ(platform::SendBytes(kInvalidSocket, "x", 1), -1);
    EXPECT_NE(platform::LastSocketError(), platform::kErrorInProgress);
    char buffer[1];
    EXPECT_EQ(platform::ReceiveBytes(kInvalidSocket, buffer, 1), -1);
    int error = 0;
    EXPECT_FALSE(platform::PendingSocketError(kInvalidSocket, &error));
}

TEST(WinsockHelpers, ASocketClosedTwiceFailsTheSecondTime) {
    const SocketHandle socket = platform::OpenTcpSocket();
    ASSERT_NE(socket, kInvalidSocket);
    EXPECT_EQ(platform::CloseSocketHandle(socket), 0);
    EXPECT_NE(platform::CloseSocketHandle(socket), 0);
}

TEST(WinsockHelpers, AddressesResolveAndParse) {
    std::uint32_t address = 0;
    ASSERT_TRUE(platform::ResolveIPv4("127.0.0.1", &address));
    EXPECT_EQ(address, kLoopback);
    address = 0;
    ASSERT_TRUE(platform::ResolveIPv4("localhost", &address));
    EXPECT_EQ(address, kLoopback);
    EXPECT_FALSE(platform::ResolveIPv4("", &address));
    EXPECT_FALSE(platform::ResolveIPv4(nullptr, &address));

    EXPECT_EQ(platform::ParseIPv4("127.0.0.1"), kLoopback);
    EXPECT_EQ(platform::ParseIPv4("127.0.0.x"), INADDR_NONE);
}

// A caller that never starts Winsock (the program around these tests does) still connects: each
// channel object starts the socket library for itself and ends that start when it goes.
TEST(SocketChannelWinsock, StartsTheSocketLibraryItselfAndEndsItsStart) {
    int callersStarts = 0;
    while (WSACleanup() == 0) {
        ++callersStarts;
    }
    {
        SocketChannel channel;
        LoopbackPeer peer;  // needs the start that the channel made
        _socket_open_params params{peer.Port(), 5000, "127.0.0.1"};
        EXPECT_EQ(channel.Open(&params), qel::kOk);
        EXPECT_TRUE(peer.Accept());
        channel.Close();
    }
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_EQ(probe, INVALID_SOCKET);
    EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
    for (int i = 0; i < callersStarts; ++i) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
}

TEST(WindowsSleep, GoesThroughTheReplacement) {
    SleepRecorder sleeps;
    qel::Sleep(100);
    qel::Sleep(5000);
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{100, 5000}));
}

}  // namespace
