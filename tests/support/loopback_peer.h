// The device end of a TCP connection on 127.0.0.1, on the platform's socket helpers so that the
// same tests run over BSD sockets and Winsock: it listens on a free port, accepts the channel's
// connection, and sends and receives with a bound on every wait.
#pragma once

#include <cstdint>
#include <string>

#include "platform.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

class LoopbackPeer {
  public:
    static constexpr int kWaitMs = 5000;

    // backlog 0 leaves no room for unaccepted connections (beyond what the system adds).
    explicit LoopbackPeer(int backlog = 8) : m_listener(platform::OpenTcpSocket()) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::listen(m_listener, backlog) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~LoopbackPeer() {
        CloseConnection();
        platform::CloseSocketHandle(m_listener);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int Port() const { return m_port; }
    platform::SocketHandle Connection() const { return m_connection; }

    // Takes the next connection, replacing the one held; false when none comes in time.
    bool Accept() {
        CloseConnection();
        if (platform::WaitReadable(m_listener, kWaitMs) > 0) {
            m_connection = ::accept(m_listener, nullptr, nullptr);
        }
        return m_connection != platform::kInvalidSocket;
    }

    bool Send(const std::string& text) {
        return platform::SendBytes(m_connection, text.data(), static_cast<int>(text.size())) ==
               static_cast<int>(text.size());
    }

    // What arrives until count bytes are in, the channel closes or a wait runs out.
    std::string Receive(std::size_t count) {
        std::string text;
        char piece[1024];
        while (text.size() < count && platform::WaitReadable(m_connection, kWaitMs) > 0) {
            const int got = platform::ReceiveBytes(m_connection, piece, sizeof piece);
            if (got <= 0) {
                break;
            }
            text.append(piece, static_cast<std::size_t>(got));
        }
        return text;
    }

    // True when the channel closed its end: readable, with nothing to read.
    bool SeesTheClose() {
        char byte;
        return platform::WaitReadable(m_connection, kWaitMs) > 0 &&
               platform::ReceiveBytes(m_connection, &byte, 1) == 0;
    }

    // Closes the connection; with reset, abortively, so that the channel's next send fails.
    void CloseConnection(bool reset = false) {
        if (m_connection == platform::kInvalidSocket) {
            return;
        }
        if (reset) {
            const linger abortive{1, 0};
            ::setsockopt(m_connection, SOL_SOCKET, SO_LINGER,
                         reinterpret_cast<const char*>(&abortive), sizeof abortive);
        }
        platform::CloseSocketHandle(m_connection);
        m_connection = platform::kInvalidSocket;
    }

  private:
    platform::SocketHandle m_listener;
    platform::SocketHandle m_connection = platform::kInvalidSocket;
    int m_port = 0;
};

// A free loopback port with nobody listening on it.
inline int UnusedLoopbackPort() {
    return LoopbackPeer().Port();
}
