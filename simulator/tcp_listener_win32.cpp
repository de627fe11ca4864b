// Serving TCP with Winsock.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstring>

#include "line_io.h"
#include "stop_signal.h"
#include "tcp_listener.h"

namespace qelsim {
namespace {

SOCKET AsSocket(int fd) {
    return static_cast<SOCKET>(static_cast<unsigned int>(fd));
}

int AsDescriptor(SOCKET socket) {
    return socket == INVALID_SOCKET ? -1 : static_cast<int>(socket);
}

}  // namespace

SocketLibrary::SocketLibrary() {
    WSADATA data;
    m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketLibrary::~SocketLibrary() {
    if (m_started) {
        WSACleanup();
    }
}

int OpenListener(const IPv4Address& address, std::uint16_t port, std::uint16_t& boundPort) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    std::memcpy(&where.sin_addr, address.data(), address.size());
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        std::fprintf(stderr, "qel-sim: socket: error %d\n", WSAGetLastError());
        return -1;
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
        std::fprintf(stderr, "qel-sim: cannot listen on %s:%u: error %d\n",
                     AddressText(address).c_str(), port, WSAGetLastError());
        closesocket(listener);
        return -1;
    }
    boundPort = ntohs(where.sin_port);
    return AsDescriptor(listener);
}

int AcceptNext(int listener) {
    while (!StopRequested()) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(AsSocket(listener), &ready);
        timeval wait{0, static_cast<long>(kPollInterval.count() * 1000)};
        if (select(0, &ready, nullptr, nullptr, &wait) <= 0) {
            continue;
        }
        const SOCKET connection = accept(AsSocket(listener), nullptr, nullptr);
        if (connection != INVALID_SOCKET) {
            SetHandleInformation(reinterpret_cast<HANDLE>(connection), HANDLE_FLAG_INHERIT, 0);
            u_long nonBlocking = 1;
            ioctlsocket(connection, FIONBIO, &nonBlocking);
            const BOOL yes = TRUE;
            setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
                       sizeof yes);
            return AsDescriptor(connection);
        }
    }
    return -1;
}

void CloseDescriptor(int fd) {
    if (fd >= 0) {
        closesocket(AsSocket(fd));
    }
}

}  // namespace qelsim
