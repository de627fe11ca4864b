// What each system does its own way when serving TCP (tcp_listener_posix.cpp,
// tcp_listener_win32.cpp): starting the socket library, listening, accepting and closing.
// Descriptors are ints, -1 for none; Winsock's handle values fit.
#pragma once

#include <cstdint>
#include <string>

#include "sim_options.h"

namespace qelsim {

// Started for the lifetime of the object where the system needs it (Winsock).
class SocketLibrary {
  public:
    SocketLibrary();
    ~SocketLibrary();
    SocketLibrary(const SocketLibrary&) = delete;
    SocketLibrary& operator=(const SocketLibrary&) = delete;
    bool Started() const { return m_started; }

  private:
    bool m_started = false;
};

// A socket listening on address:port (0: a free port, reported in boundPort), or -1 after a
// message on standard error.
int OpenListener(const IPv4Address& address, std::uint16_t port, std::uint16_t& boundPort);

// Dotted decimal, for messages.
std::string AddressText(const IPv4Address& address);

// The next connection, non-blocking and without delayed small writes, or -1 when a stop was
// requested first.
int AcceptNext(int listener);

void CloseDescriptor(int fd);

}  // namespace qelsim
