// The few operating-system services that the library, the program and the simulator need.
// On Windows the real services are used by their own names; POSIX gets the least that the callers
// need under the same names, so that the calling code reads the same on every platform.
#pragma once

#include <cstdint>

#include "qel_export.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#else
namespace platform {
// The receiver of trace notifications on POSIX: what a window is on Windows.
class TraceReceiver {
  public:
    virtual std::intptr_t OnMessage(unsigned int message, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;

  protected:
    ~TraceReceiver() = default;
};
}  // namespace platform

using HWND = platform::TraceReceiver*;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Calls the receiver's handler and returns its result; a null receiver gets nothing and gives 0.
QEL_API LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The socket library needs no start on POSIX; these keep the program's calls as they are.
struct WSAData {
    unsigned short wVersion;
};
using WSADATA = WSAData;
QEL_API int WSAStartup(unsigned short version, WSADATA* data);
#endif

namespace platform {

// Every pause of the system goes through Sleep, so that tests can replace it with a recorder.
using SleepFunction = void (*)(unsigned long milliseconds);

QEL_API void Sleep(unsigned long milliseconds);

// Installs a replacement for Sleep (null restores the real pause); returns the previous one.
QEL_API SleepFunction SetSleepFunction(SleepFunction replacement);

// A write to a pipe or socket whose reader has gone fails with an error instead of ending the
// process (SIGPIPE on POSIX; Windows has no such signal).
QEL_API void IgnoreBrokenPipe();

// ---- TCP sockets: the places where BSD sockets and Winsock differ ----

#ifdef _WIN32
using SocketHandle = SOCKET;
inline constexpr SocketHandle kInvalidSocket = INVALID_SOCKET;
inline constexpr int kErrorWouldBlock = WSAEWOULDBLOCK;
inline constexpr int kErrorInProgress = WSAEINPROGRESS;
#else
using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
// POSIX reports a pending non-blocking connect as EINPROGRESS and a full send buffer as
// EWOULDBLOCK; both are mapped onto the Winsock meanings the channel tests for.
inline constexpr int kErrorWouldBlock = 10035;
inline constexpr int kErrorInProgress = 10036;
#endif

// A new IPv4 stream socket, or kInvalidSocket.
QEL_API SocketHandle OpenTcpSocket();
// Closes the socket; does nothing for kInvalidSocket. Returns 0 or the error.
QEL_API int CloseSocketHandle(SocketHandle socket);
// The last socket error of this thread, in Winsock numbering for the two codes above.
QEL_API int LastSocketError();
QEL_API void SetSocketNonBlocking(SocketHandle socket, bool nonBlocking);
QEL_API void SetSocketNoDelay(SocketHandle socket);
// Resolves a host name or dotted address to an IPv4 address in network byte order.
QEL_API bool ResolveIPv4(const char* host, std::uint32_t* addressNetworkOrder);
// Dotted IPv4 text to network-order address; 0xFFFFFFFF ("none") when it is not an address.
QEL_API std::uint32_t ParseIPv4(const char* text);
// Starts a connect to the address; 0 when connected at once, else -1 with LastSocketError set.
QEL_API int ConnectIPv4(SocketHandle socket, std::uint32_t addressNetworkOrder, std::uint16_t port);
// Waits until a pending connect has finished: >0 finished, 0 time-out, <0 the wait failed.
QEL_API int WaitForConnect(SocketHandle socket, int timeoutMilliseconds);
// Waits for data (or the peer's close): >0 readable, 0 time-out, <0 the wait failed.
QEL_API int WaitReadable(SocketHandle socket, int timeoutMilliseconds);
// The socket's pending error into *error; false when it cannot be read.
QEL_API bool PendingSocketError(SocketHandle socket, int* error);
// send and recv; a closed peer never raises a signal. Results as the system's calls.
QEL_API int SendBytes(SocketHandle socket, const char* data, int length);
QEL_API int ReceiveBytes(SocketHandle socket, char* buffer, int length);

}  // namespace platform
