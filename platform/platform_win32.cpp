// Windows implementation of the platform layer: the real pause, and the Winsock form of every
// socket helper. SendMessageA and WSAStartup are Windows' own.
#include <io.h>

#include <type_traits>

#include "platform.h"

static_assert(std::is_same_v<SOCKET, platform::SocketHandle> &&
                  INVALID_SOCKET == platform::kInvalidSocket,
              "the library's socket handle is Winsock's SOCKET");

namespace {

// A negative wait means no limit, as with poll on POSIX.
timeval* ToTimeval(int timeoutMilliseconds, timeval* storage) {
    if (timeoutMilliseconds < 0) {
        return nullptr;
    }
    storage->tv_sec = timeoutMilliseconds / 1000;
    storage->tv_usec = (timeoutMilliseconds % 1000) * 1000;
    return storage;
}

}  // namespace

namespace platform {

void RealSleep(unsigned long milliseconds) {
    ::Sleep(static_cast<DWORD>(milliseconds));
}

bool StartSocketLibrary() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopSocketLibrary() {
    ::WSACleanup();
}

void IgnoreBrokenPipe() {}

bool IsTerminal(std::FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

bool StartAnsiTerminal(std::FILE* stream, TerminalSize& size) {
    if (!IsTerminal(stream)) {
        return false;
    }
    const auto console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleMode(console, &mode) ||
        !SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) ||
        !GetConsoleScreenBufferInfo(console, &info)) {
        return false;
    }
    size = {info.srWindow.Bottom - info.srWindow.Top + 1,
            info.srWindow.Right - info.srWindow.Left + 1};
    return true;
}

SocketHandle OpenTcpSocket() {
    SOCKET handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle == INVALID_SOCKET) {
        return kInvalidSocket;
    }
    // A child process (the simulator started by a test, say) must not keep the connection open.
    SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    return handle;
}

int CloseSocketHandle(SocketHandle socket) {
    if (socket == kInvalidSocket) {
        return WSAENOTSOCK;
    }
    return ::closesocket(socket) == 0 ? 0 : WSAGetLastError();
}

int LastSocketError() {
    return WSAGetLastError();
}

void SetSocketNonBlocking(SocketHandle socket, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    ::ioctlsocket(socket, FIONBIO, &mode);
}

void SetSocketNoDelay(SocketHandle socket) {
    BOOL on = TRUE;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

// Winsock has no way to hold output back and release it at once.
void PushSocketOutput(SocketHandle) {}

std::uint32_t ParseIPv4(const char* text) {
    return ::inet_addr(text);
}

int ConnectIPv4(SocketHandle socket, std::uint32_t addressNetworkOrder, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = addressNetworkOrder;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return -1;
    }
    return 0;
}

// Winsock reports a refused connect in the exception set, not as writability.
int WaitForConnect(SocketHandle socket, int timeoutMilliseconds) {
    fd_set readSet;
    fd_set writeSet;
    fd_set exceptionSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptionSet);
    FD_SET(socket, &readSet);
    FD_SET(socket, &writeSet);
    FD_SET(socket, &exceptionSet);
    timeval storage{};
    const int result =
        ::select(0, &readSet, &writeSet, &exceptionSet, ToTimeval(timeoutMilliseconds, &storage));
    return result == SOCKET_ERROR ? -1 : result;
}

int WaitReadable(SocketHandle socket, int timeoutMilliseconds) {
    if (socket == kInvalidSocket) {
        return -1;
    }
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(socket, &readSet);
    timeval storage{};
    const int result =
        ::select(0, &readSet, nullptr, nullptr, ToTimeval(timeoutMilliseconds, &storage));
    return result == SOCKET_ERROR ? -1 : result;
}

bool PendingSocketError(SocketHandle socket, int* error) {
    int value = 0;
    int size = sizeof value;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&value), &size) != 0) {
        return false;
    }
    *error = value;
    return true;
}

int SendBytes(SocketHandle socket, const char* data, int length, bool) {
    const int sent = ::send(socket, data, length, 0);
    if (sent == SOCKET_ERROR) {
        // A full send buffer is the condition that the caller retries after a pause; report it
        // under the same code as the POSIX side does.
        if (WSAGetLastError() == WSAEWOULDBLOCK) {
            WSASetLastError(kErrorInProgress);
        }
        return -1;
    }
    return sent;
}

int ReceiveBytes(SocketHandle socket, char* buffer, int length) {
    const int received = ::recv(socket, buffer, length, 0);
    return received == SOCKET_ERROR ? -1 : received;
}

// A receive that runs past SO_RCVTIMEO leaves a Windows socket unusable, so the wait is a select.
void SetReceiveTimeout(SocketHandle, int) {}

int ReceiveWithin(SocketHandle socket, char* buffer, int length, int timeoutMilliseconds) {
    if (WaitReadable(socket, timeoutMilliseconds) <= 0) {
        return kReceiveTimedOut;
    }
    return ReceiveBytes(socket, buffer, length);
}

}  // namespace platform
