#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "line_io.h"
#include "stop_signal.h"
#include "tcp_listener.h"

namespace qelsim {

SocketLibrary::SocketLibrary() : m_started(true) {}

SocketLibrary::~SocketLibrary() = default;

int OpenListener(const IPv4Address& address, std::uint16_t port, std::uint16_t& boundPort) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    std::memcpy(&where.sin_addr, address.data(), address.size());
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::perror("qel-sim: socket");
        return -1;
    }
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    socklen_t length = sizeof where;
    if (bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        std::fprintf(stderr, "qel-sim: cannot listen on %s:%u: %s\n", AddressText(address).c_str(),
                     port, std::strerror(errno));
        close(fd);
        return -1;
    }
    boundPort = ntohs(where.sin_port);
    return fd;
}

int AcceptNext(int listener) {
    while (!StopRequested()) {
        pollfd entry{listener, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(kPollInterval.count())) <= 0) {
            continue;
        }
        const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
            const int yes = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            return fd;
        }
    }
    return -1;
}

void CloseDescriptor(int fd) {
    if (fd >= 0) {
        close(fd);
    }
}

}  // namespace qelsim
