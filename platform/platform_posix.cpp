// POSIX implementation of the platform layer.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform.h"

namespace {

int Descriptor(platform::SocketHandle socket) {
    return static_cast<int>(socket);
}

// Winsock numbering for the two conditions the callers tell apart.
int ToWinsockNumbering(int error) {
    if (error == EINPROGRESS) {
        return platform::kErrorWouldBlock;  // a non-blocking connect under way
    }
    if (error == EAGAIN || error == EWOULDBLOCK) {
        return platform::kErrorInProgress;  // the send buffer is full for now
    }
    return error;
}

thread_local int t_lastError = 0;

// A signal does not start the wait over: the time-out first asked for stays the bound.
int PollOne(platform::SocketHandle socket, short events, int timeoutMilliseconds, short* revents) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    pollfd entry{Descriptor(socket), events, 0};
    int result;
    int wait = timeoutMilliseconds;
    while ((result = poll(&entry, 1, wait)) < 0 && errno == EINTR) {
        if (timeoutMilliseconds > 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
    *revents = entry.revents;
    return result;
}

}  // namespace

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) {
        return 0;
    }
    return window->OnMessage(message, wParam, lParam);
}

int WSAStartup(unsigned short version, WSADATA* data) {
    if (data != nullptr) {
        data->wVersion = version;
    }
    return 0;
}

namespace platform {

void RealSleep(unsigned long milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>((milliseconds % 1000) * 1000000L)};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

bool StartSocketLibrary() {
    return true;
}

void StopSocketLibrary() {}

void IgnoreBrokenPipe() {
    signal(SIGPIPE, SIG_IGN);
}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

bool StartAnsiTerminal(std::FILE* stream, TerminalSize& size) {
    if (!IsTerminal(stream)) {
        return false;
    }
    winsize window{};
    const bool told =
        ioctl(fileno(stream), TIOCGWINSZ, &window) == 0 && window.ws_row > 0 && window.ws_col > 0;
    size = told ? TerminalSize{window.ws_row, window.ws_col} : TerminalSize{24, 80};
    return true;
}

SocketHandle OpenTcpSocket() {
#ifdef SOCK_CLOEXEC
    int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
#else
    int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    if (handle >= 0) {
        fcntl(handle, F_SETFD, FD_CLOEXEC);
    }
#endif
    if (handle < 0) {
        t_lastError = errno;
        return kInvalidSocket;
    }
#ifdef SO_NOSIGPIPE
    int on = 1;
    setsockopt(handle, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    return static_cast<SocketHandle>(handle);
}

int CloseSocketHandle(SocketHandle socket) {
    if (socket == kInvalidSocket) {
        return EBADF;
    }
    return ::close(Descriptor(socket)) == 0 ? 0 : errno;
}

int LastSocketError() {
    return ToWinsockNumbering(t_lastError);
}

void SetSocketNonBlocking(SocketHandle socket, bool nonBlocking) {
    const int descriptor = Descriptor(socket);
    int flags = fcntl(descriptor, F_GETFL, 0);
    if (flags < 0) {
        return;
    }
    fcntl(descriptor, F_SETFL, nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK));
}

void SetSocketNoDelay(SocketHandle socket) {
#ifdef QEL_NO_TCP_NODELAY
    // Benchmark builds only: measures what Nagle's algorithm costs the request/reply exchange.
    (void)socket;
    return;
#endif
    int on = 1;
    setsockopt(Descriptor(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void PushSocketOutput(SocketHandle socket) {
#if defined(MSG_MORE) && defined(TCP_CORK)
    // Turning the cork off, even where it was never on, sends what MSG_MORE held back.
    int off = 0;
    setsockopt(Descriptor(socket), IPPROTO_TCP, TCP_CORK, &off, sizeof off);
#else
    (void)socket;  // nothing was held
#endif
}

std::uint32_t ParseIPv4(const char* text) {
    return inet_addr(text);
}

int ConnectIPv4(SocketHandle socket, std::uint32_t addressNetworkOrder, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = addressNetworkOrder;
    int result;
    do {
        result = ::connect(Descriptor(socket), reinterpret_cast<const sockaddr*>(&address),
                           sizeof address);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        t_lastError = errno;
        return -1;
    }
    return 0;
}

int WaitForConnect(SocketHandle socket, int timeoutMilliseconds) {
    short revents = 0;
    int result = PollOne(socket, POLLOUT, timeoutMilliseconds, &revents);
    if (result < 0) {
        t_lastError = errno;
    }
    return result;
}

int WaitReadable(SocketHandle socket, int timeoutMilliseconds) {
    if (socket == kInvalidSocket) {
        return -1;
    }
    short revents = 0;
    int result = PollOne(socket, POLLIN, timeoutMilliseconds, &revents);
    if (result < 0) {
        t_lastError = errno;
    }
    if (result > 0 && (revents & POLLNVAL) != 0) {
        return -1;
    }
    return result;
}

bool PendingSocketError(SocketHandle socket, int* error) {
    int value = 0;
    socklen_t size = sizeof value;
    if (getsockopt(Descriptor(socket), SOL_SOCKET, SO_ERROR, &value, &size) != 0) {
        t_lastError = errno;
        return false;
    }
    *error = value;
    return true;
}

int SendBytes(SocketHandle socket, const char* data, int length, bool more) {
#ifdef MSG_NOSIGNAL
    int flags = MSG_NOSIGNAL;
#else
    int flags = 0;
#endif
#if defined(MSG_MORE) && defined(TCP_CORK)
    if (more) {
        flags |= MSG_MORE;
    }
#else
    (void)more;  // BSD's TCP_NOPUSH does not send what it held when it is turned off
#endif
    ssize_t sent;
    do {
        sent = ::send(Descriptor(socket), data, static_cast<size_t>(length), flags);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        t_lastError = errno;
        return -1;
    }
    return static_cast<int>(sent);
}

void SetReceiveTimeout(SocketHandle socket, int timeoutMilliseconds) {
    timeval limit{};
    limit.tv_sec = timeoutMilliseconds / 1000;
    limit.tv_usec = static_cast<suseconds_t>(timeoutMilliseconds % 1000) * 1000;
    setsockopt(Descriptor(socket), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

int ReceiveWithin(SocketHandle socket, char* buffer, int length, int timeoutMilliseconds) {
    const auto start = std::chrono::steady_clock::now();
    if (timeoutMilliseconds > 0) {
        const ssize_t received = ::recv(Descriptor(socket), buffer, static_cast<size_t>(length), 0);
        if (received >= 0) {
            return static_cast<int>(received);
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return kReceiveTimedOut;
        }
        if (errno != EINTR) {
            t_lastError = errno;
            return -1;
        }
        // A signal ended the receive early: the rest of the time is waited for below.
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        timeoutMilliseconds = std::max(0, timeoutMilliseconds - static_cast<int>(waited.count()));
    }
    if (WaitReadable(socket, timeoutMilliseconds) <= 0) {
        return kReceiveTimedOut;
    }
    return ReceiveBytes(socket, buffer, length);
}

int ReceiveBytes(SocketHandle socket, char* buffer, int length) {
    ssize_t received;
    do {
        received = ::recv(Descriptor(socket), buffer, static_cast<size_t>(length), 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        t_lastError = errno;
        return -1;
    }
    return static_cast<int>(received);
}

}  // namespace platform
