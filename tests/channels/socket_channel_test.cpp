// SocketChannel against a peer on 127.0.0.1, over BSD sockets and over Winsock alike.
#include "socket_channel.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <netinet/tcp.h>
#include <unistd.h>
#endif

#include <string>

#include "case_name.h"
#include "socket_channel_fixture.h"

namespace socket_test {
namespace {

// The number the next descriptor would get: unchanged when nothing leaked. Windows numbers its
// socket handles otherwise; there the channel's own handle is what a test can look at.
int LowestFreeDescriptor() {
#ifdef _WIN32
    return 0;
#else
    const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
    close(fd);
    return fd;
#endif
}

TEST_F(ConnectedChannel, ARequestAndItsReplyCrossTheConnection) {
    ASSERT_EQ(WriteText("5A0A7D024B92"), qel::kOk);
    ASSERT_EQ(WriteText("\r"), qel::kOk);
    EXPECT_EQ(m_peer.Receive(13), "5A0A7D024B92\r");

    ASSERT_TRUE(m_peer.Send("5A8A7D02006DE3\r"));
    int result = -1;
    EXPECT_EQ(ReadText(15, &result), "5A8A7D02006DE3\r");
    EXPECT_EQ(result, qel::kOk);
}

TEST_F(ConnectedChannel, AWholePageRequestArrivesComplete) {
    const std::string request(540, 'A');
    ASSERT_EQ(WriteText(request), qel::kOk);
    EXPECT_EQ(m_peer.Receive(540), request);
}

TEST_F(ConnectedChannel, SendsWithoutDelayAndGivesWayToTheNextOpen) {
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    ASSERT_EQ(getsockopt(Access::Socket(m_channel), IPPROTO_TCP, TCP_NODELAY,
                         reinterpret_cast<char*>(&noDelay), &size),
              0);
    EXPECT_NE(noDelay, 0);

    _socket_open_params params = Params(m_peer.Port());
    ASSERT_EQ(m_channel.Open(&params), qel::kOk);
    EXPECT_TRUE(m_peer.SeesTheClose());  // the first connection was closed
}

TEST_F(ConnectedChannel, ReplyFollowedByMoreLeavesTheRestForTheNextRead) {
    ASSERT_TRUE(m_peer.Send("Z8A}02000000B1\rZ8A}03"));
    int result = -1;
    EXPECT_EQ(ReadText(15, &result), "Z8A}02000000B1\r");
    EXPECT_EQ(result, qel::kOk);
    EXPECT_EQ(ReadText(6, &result), "Z8A}03");
    EXPECT_EQ(result, qel::kOk);
}

TEST_F(ConnectedChannel, TimeOutBelowASecondTakesOnlyWhatHasArrived) {
    Access::SetTimeout(m_channel, 999);
    int result = -1;
    const auto start = Clock::now();
    ReadText(1, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
    EXPECT_LT(MillisecondsSince(start), 900);  // a wait of 0 seconds, not of one

    ASSERT_TRUE(m_peer.Send("ok"));
    ASSERT_GT(platform::WaitReadable(Access::Socket(m_channel), LoopbackPeer::kWaitMs), 0);
    EXPECT_EQ(ReadText(2, &result), "ok");
    EXPECT_EQ(result, qel::kOk);

    Access::SetTimeout(m_channel, -1000);  // a negative wait: data or not, nothing is read
    ASSERT_TRUE(m_peer.Send("x"));
    ASSERT_GT(platform::WaitReadable(Access::Socket(m_channel), LoopbackPeer::kWaitMs), 0);
    ReadText(1, &result);
    EXPECT_EQ(result, qel::kErrReadTimeout);
}

TEST_F(ConnectedChannel, PeerClosingWhileAReplyIsAwaitedGives5022) {
    ASSERT_TRUE(m_peer.Send("Z8"));
    m_peer.CloseConnection();
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
    const int lowestFree = LowestFreeDescriptor();
    SocketChannel channel;
    _socket_open_params params = Params(UnusedLoopbackPort(), GetParam().address);
    EXPECT_EQ(channel.Open(&params), GetParam().expected);
    Access::ConnectSteps() = saved;
    EXPECT_EQ(Access::Socket(channel), platform::kInvalidSocket);
    EXPECT_EQ(LowestFreeDescriptor(), lowestFree);
}

// A refused connection is reported at once by BSD sockets and after the wait by Winsock; both
// end in the socket's pending error.
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
    CaseName());

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

}  // namespace
}  // namespace socket_test
