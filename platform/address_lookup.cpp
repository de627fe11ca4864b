// Host look-up: getaddrinfo takes the same form on both systems (ws2tcpip.h on Windows).
#include "platform.h"

#ifndef _WIN32
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace platform {

bool ResolveIPv4(const char* host, std::uint32_t* addressNetworkOrder) {
    if (host == nullptr || *host == '\0') {
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    *addressNetworkOrder = address->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

}  // namespace platform
