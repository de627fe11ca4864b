// Serves the device over TCP with Winsock.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>

#include "stop_signal.h"
#include "tcp_server.h"

namespace qelsim {
namespace {

class Winsock {
  public:
    Winsock() {
        WSADATA data;
        m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~Winsock() {
        if (m_started) {
            WSACleanup();
        }
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    bool Started() const { return m_started; }

  private:
    bool m_started = false;
};

class Socket {
  public:
    explicit Socket(SOCKET socket) : m_socket(socket) {}
    ~Socket() {
        if (m_socket != INVALID_SOCKET) {
            closesocket(m_socket);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET Get() const { return m_socket; }
    // The line session takes descriptors as int; Winsock's handle values fit.
    int AsDescriptor() const { return static_cast<int>(m_socket); }

  private:
    SOCKET m_socket;
};

SOCKET OpenListener(const std::string& address, std::uint16_t port, std::uint16_t& boundPort) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        std::fprintf(stderr, "qel-sim: %s is not an IPv4 address\n", address.c_str());
        return INVALID_SOCKET;
    }
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        std::fprintf(stderr, "qel-sim: socket: error %d\n", WSAGetLastError());
        return INVALID_SOCKET;
    }
    // Children started later must not inherit the listener.
    SetHandleInformation(reinterpret_cast<HANDLE>(listener), HANDLE_FLAG_INHERIT, 0);
    // On Windows SO_REUSEADDR would let another program take the port over; keep it ours.
    const BOOL yes = TRUE;
    setsockopt(listener, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
    int length = sizeof where;
    if (bind(listener, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 ||
        listen(listener, 8) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        std::fprintf(stderr, "qel-sim: cannot listen on %s:%u: error %d\n", address.c_str(), port,
                     WSAGetLastError());
        closesocket(listener);
        return INVALID_SOCKET;
    }
    boundPort = ntohs(where.sin_port);
    return listener;
}

// The next connection, non-blocking and without delayed small writes, or INVALID_SOCKET when a
// stop was requested first.
SOCKET AcceptNext(SOCKET listener) {
    while (!StopRequested()) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        timeval wait{0, static_cast<long>(kPollInterval.count() * 1000)};
        if (select(0, &ready, nullptr, nullptr, &wait) <= 0) {
            continue;
        }
        const SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection != INVALID_SOCKET) {
            SetHandleInformation(reinterpret_cast<HANDLE>(connection), HANDLE_FLAG_INHERIT, 0);
            u_long nonBlocking = 1;
            ioctlsocket(connection, FIONBIO, &nonBlocking);
            const BOOL yes = TRUE;
            setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                       sizeof yes);
            return connection;
        }
    }
    return INVALID_SOCKET;
}

}  // namespace

int ServeTcp(SimulatedDevice& simulated, const std::string& address, std::uint16_t port) {
    const Winsock winsock;
    if (!winsock.Started()) {
        std::fprintf(stderr, "qel-sim: Winsock did not start\n");
        return 1;
    }
    std::uint16_t boundPort = 0;
    const Socket listener(OpenListener(address, port, boundPort));
    if (listener.Get() == INVALID_SOCKET) {
        return 1;
    }
    std::printf("listening %s:%u\n", address.c_str(), boundPort);
    std::fflush(stdout);
    std::uint32_t connections = 0;
    for (;;) {
        const Socket connection(AcceptNext(listener.Get()));
        if (connection.Get() == INVALID_SOCKET) {
            return 0;
        }
        if (++connections <= simulated.faults.refuseConnections) {
            continue;  // closed at once with the socket
        }
        LineSession session(simulated, connection.AsDescriptor());
        if (session.Serve() == SessionEnd::kStopped) {
            return 0;
        }
    }
}

}  // namespace qelsim
