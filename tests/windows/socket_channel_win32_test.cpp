// SocketChannel over Winsock, against a device stand-in listening on 127.0.0.1.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <cstring>
#include <string>

#include "qel_codes.h"
#include "socket_channel.h"

namespace {

constexpr std::uint32_t kLoopback = 0x0100007F;  // 127.0.0.1 in network order

// A listening socket on a free loopback port; the device end of the channel's connection.
class Device {
  public:
    Device() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = kLoopback;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 4);
        int size = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    ~Device() {
        CloseConnection();
        ::closesocket(m_listener);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    int Port() const { return m_port; }
    // Takes the connection that the channel's Open made.
    bool Accept() {
        m_connection = ::accept(m_listener, nullptr, nullptr);
        return m_connection != INVALID_SOCKET;
    }
    void Send(const std::string& text) {
        ::send(m_connection, text.data(), static_cast<int>(text.size()), 0);
    }
    // Everything that arrives until count bytes are in, or the channel stops sending.
    std::string Receive(std::size_t count) {
        std::string text;
        char piece[1024];
        while (text.size() < count) {
            const int got = ::recv(m_connection, piece, sizeof piece, 0);
            if (got <= 0) {
                break;
            }
            text.append(piece, static_cast<std::size_t>(got));
        }
        return text;
    }
    void CloseConnection() {
        if (m_connection != INVALID_SOCKET) {
            ::closesocket(m_connection);
            m_connection = INVALID_SOCKET;
        }
    }

  private:
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_connection = INVALID_SOCKET;
    int m_port = 0;
};

_socket_open_params Params(int port, int timeoutMs = 5000, const char* address = "127.0.0.1") {
    _socket_open_params params{port, timeoutMs, {}};
    std::strncpy(params.address, address, sizeof params.address - 1);
    return params;
}

// A free loopback port with nobody listening on it.
int ClosedPort() {
    const Device device;
    return device.Port();
}

class SocketChannelWin32 : public ::testing::Test {
  protected:
    void TearDown() override { m_channel.Close(); }

    void Connect(int timeoutMs = 5000) {
        auto params = Params(m_device.Port(), timeoutMs);
        ASSERT_EQ(m_channel.Open(&params), qel::kOk);
        ASSERT_TRUE(m_device.Accept());
    }
    std::string ReadText(int length, int* result) {
        std::string text(static_cast<std::size_t>(length), '\0');
        *result = m_channel.Read(text.data(), length);
        return text;
    }

    Device m_device;
    SocketChannel m_channel;
};

TEST_F(SocketChannelWin32, ARequestAndItsReplyCrossTheConnection) {
    Connect();
    std::string request = "5A0A7D024B92";
    char cr = '\r';
    ASSERT_EQ(m_channel.Write(request.data(), static_cast<int>(request.size())), qel::kOk);
    ASSERT_EQ(m_channel.Write(&cr, 1), qel::kOk);
    EXPECT_EQ(m_device.Receive(13), "5A0A7D024B92\r");

    m_device.Send("5A8A7D02006DE3\r");
    int result = -1;
    EXPECT_EQ(ReadText(15, &result), "5A8A7D02006DE3\r");
    EXPECT_EQ(result, qel::kOk);
}

TEST_F(SocketChannelWin32, AWholePageRequestArrivesComplete) {
    Connect();
    std::string request(540, 'A');
    ASSERT_EQ(m_channel.Write(request.data(), 540), qel::kOk);
    EXPECT_EQ(m_device.Receive(540), request);
}

TEST_F(SocketChannelWin32, BytesBeyondTheLengthStayForTheNextRead) {
    Connect();
    m_device.Send("5A8A7D02006DE3\rNEXT");
    int result = -1;
    EXPECT_EQ(ReadText(15, &result), "5A8A7D02006DE3\r");
    EXPECT_EQ(result, qel::kOk);
    EXPECT_EQ(ReadText(4, &result), "NEXT");
    EXPECT_EQ(result, qel::kOk);
}

TEST_F(SocketChannelWin32, ATimeoutBelowOneSecondTakesOnlyWhatHasArrived) {
    Connect(999);
    int result = 0;
    ReadText(15, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
}

TEST_F(SocketChannelWin32, ADeviceThatClosesWhileAReplyIsAwaitedEndsTheRead) {
    Connect();
    m_device.CloseConnection();
    int result = 0;
    ReadText(15, &result);
    EXPECT_EQ(result, qel::kErrReadClosed);
}

TEST_F(SocketChannelWin32, AClosedChannelNeitherReadsNorWrites) {
    Connect();
    m_channel.Close();
    m_channel.Close();  // a second close does no harm
    int result = 0;
    ReadText(15, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
    char cr = '\r';
    EXPECT_EQ(m_channel.Write(&cr, 1), qel::kErrWrite);
}

TEST(SocketChannelWin32Open, ARefusedConnectionFails) {
    SocketChannel channel;
    auto params = Params(ClosedPort());
    const int result = channel.Open(&params);
    // Winsock reports the refusal after the wait, in the socket's pending error.
    EXPECT_EQ(result, qel::kErrConnectRefused);
    channel.Close();
}

TEST(SocketChannelWin32Open, AnAddressThatDoesNotResolveFails) {
    SocketChannel channel;
    auto params = Params(1, 5000, "");
    EXPECT_EQ(channel.Open(&params), qel::kErrHostResolve);
    int result = 0;
    char byte;
    result = channel.Read(&byte, 1);
    EXPECT_EQ(result, qel::kErrReadTimeout);  // the channel holds no socket
}

// A caller that never starts Winsock (the program around these tests does) still connects: each
// channel object starts the socket library for itself and ends that start when it goes.
TEST(SocketChannelWin32Open, StartsTheSocketLibraryItselfAndEndsItsStart) {
    int callersStarts = 0;
    while (WSACleanup() == 0) {
        ++callersStarts;
    }
    {
        SocketChannel channel;
        Device device;  // needs the start that the channel made
        auto params = Params(device.Port());
        EXPECT_EQ(channel.Open(&params), qel::kOk);
        EXPECT_TRUE(device.Accept());
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

TEST(SocketChannelWin32Open, ANewOpenReplacesTheConnectionItHeld) {
    Device device;
    SocketChannel channel;
    auto params = Params(device.Port());
    ASSERT_EQ(channel.Open(&params), qel::kOk);
    ASSERT_TRUE(device.Accept());
    ASSERT_EQ(channel.Open(&params), qel::kOk);
    // The first connection was closed by the second Open: the device sees its end.
    EXPECT_EQ(device.Receive(1), "");
    channel.Close();
}

}  // namespace
