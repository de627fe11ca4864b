// SocketChannel's tests on every system: reaching its socket, its time-out and its connect steps,
// and a channel connected to a loopback peer.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "loopback_peer.h"
#include "platform.h"
#include "qel_codes.h"
#include "socket_channel.h"

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

namespace socket_test {

using Access = SocketChannelTestAccess;
using Clock = std::chrono::steady_clock;

inline long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The address is copied without a terminator when it fills the record.
inline _socket_open_params Params(int port, const std::string& address = "127.0.0.1") {
    _socket_open_params params{port, 5000, {}};
    std::memcpy(params.address, address.data(), std::min(address.size(), sizeof params.address));
    return params;
}

class ConnectedChannel : public ::testing::Test {
  protected:
    void SetUp() override {
        _socket_open_params params = Params(m_peer.Port());
        ASSERT_EQ(m_channel.Open(&params), qel::kOk);
        ASSERT_TRUE(m_peer.Accept());
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

    LoopbackPeer m_peer;
    SocketChannel m_channel;
};

}  // namespace socket_test
