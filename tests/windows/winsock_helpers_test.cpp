// The Winsock side of the platform socket helpers, against a listener on 127.0.0.1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"
#include "sleep_recorder.h"

namespace {

using platform::kInvalidSocket;
using platform::SocketHandle;

constexpr std::uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 in network order
constexpr int kWaitMs = 5000;

// A listening socket on a free loopback port, closed with the test.
class Listener {
  public:
    Listener() {
        m_socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = kLoopback;
        address.sin_port = 0;
        ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_socket, 4);
        int size = sizeof address;
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~Listener() { Close(); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::uint16_t Port() const { return m_port; }
    SocketHandle Accept() { return ::accept(m_socket, nullptr, nullptr); }
    void Close() {
        if (m_socket != INVALID_SOCKET) {
            ::closesocket(m_socket);
            m_socket = INVALID_SOCKET;
        }
    }

  private:
    SOCKET m_socket = INVALID_SOCKET;
    std::uint16_t m_port = 0;
};

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
    Listener listener;
    Held client(platform::OpenTcpSocket());
    ASSERT_NE(client.Get(), kInvalidSocket);

    ASSERT_TRUE(StartConnect(client.Get(), listener.Port()));
    EXPECT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    int error = -1;
    ASSERT_TRUE(platform::PendingSocketError(client.Get(), &error));
    EXPECT_EQ(error, 0);
}

TEST(WinsockHelpers, ARefusedConnectEndsTheWaitWithAPendingError) {
    std::uint16_t freePort = 0;
    {
        Listener listener;
        freePort = listener.Port();
    }
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
    Listener listener;
    Held client(platform::OpenTcpSocket());
    ASSERT_TRUE(StartConnect(client.Get(), listener.Port()));
    ASSERT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    platform::SetSocketNonBlocking(client.Get(), false);
    platform::SetSocketNoDelay(client.Get());
    Held server(listener.Accept());
    ASSERT_NE(server.Get(), kInvalidSocket);

    EXPECT_EQ(platform::WaitReadable(server.Get(), 0), 0);
    ASSERT_EQ(platform::SendBytes(client.Get(), "5A0A\r", 5), 5);
    ASSERT_GT(platform::WaitReadable(server.Get(), kWaitMs), 0);
    char buffer[16] = {};
    EXPECT_EQ(platform::ReceiveBytes(server.Get(), buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "5A0");
    EXPECT_EQ(platform::ReceiveBytes(server.Get(), buffer, 16), 2);
    EXPECT_EQ(std::string(buffer, 2), "A\r");
}

TEST(WinsockHelpers, APeerThatClosesIsReadableWithNothingToReceive) {
    Listener listener;
    Held client(platform::OpenTcpSocket());
    ASSERT_TRUE(StartConnect(client.Get(), listener.Port()));
    ASSERT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    platform::SetSocketNonBlocking(client.Get(), false);
    platform::CloseSocketHandle(listener.Accept());

    ASSERT_GT(platform::WaitReadable(client.Get(), kWaitMs), 0);
    char buffer[4];
    EXPECT_EQ(platform::ReceiveBytes(client.Get(), buffer, 4), 0);
}

TEST(WinsockHelpers, AFullSendBufferIsReportedAsTheRetriedCondition) {
    Listener listener;
    Held client(platform::OpenTcpSocket());
    ASSERT_TRUE(StartConnect(client.Get(), listener.Port()));
    ASSERT_GT(platform::WaitForConnect(client.Get(), kWaitMs), 0);
    Held server(listener.Accept());  // accepted, never read

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

TEST(WindowsSleep, GoesThroughTheReplacement) {
    SleepRecorder sleeps;
    qel::Sleep(100);
    qel::Sleep(5000);
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{100, 5000}));
}

}  // namespace
