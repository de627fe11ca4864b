#include "tcp_server.h"

#include <cstdio>

#include "line_session.h"
#include "tcp_listener.h"

namespace qelsim {
namespace {

class Descriptor {
  public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { CloseDescriptor(m_fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }

  private:
    int m_fd;
};

}  // namespace

std::string AddressText(const IPv4Address& address) {
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
           std::to_string(address[2]) + "." + std::to_string(address[3]);
}

int ServeTcp(SimulatedDevice& simulated, const IPv4Address& address, std::uint16_t port) {
    const SocketLibrary sockets;
    if (!sockets.Started()) {
        std::fprintf(stderr, "qel-sim: the socket library did not start\n");
        return 1;
    }
    std::uint16_t boundPort = 0;
    const Descriptor listener(OpenListener(address, port, boundPort));
    if (listener.Get() < 0) {
        return 1;
    }
    std::printf("listening %s:%u\n", AddressText(address).c_str(), boundPort);
    std::fflush(stdout);
    std::uint32_t connections = 0;
    for (;;) {
        const Descriptor connection(AcceptNext(listener.Get()));
        if (connection.Get() < 0) {
            return 0;
        }
        if (++connections <= simulated.faults.refuseConnections) {
            continue;  // closed at once by the descriptor
        }
        // One connection at a time: a silent one must not hold the others off for ever.
        LineSession session(simulated, connection.Get(), {}, simulated.faults.idleLimit);
        if (session.Serve() == SessionEnd::kStopped) {
            return 0;
        }
    }
}

}  // namespace qelsim
