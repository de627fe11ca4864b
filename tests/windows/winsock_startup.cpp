// Starts Winsock for the whole test program, as the program does before its first socket call.
#include <winsock2.h>

namespace {

class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data;
        m_started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (m_started) {
            WSACleanup();
        }
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;

  private:
    bool m_started = false;
};

const WinsockSession g_session;

}  // namespace
