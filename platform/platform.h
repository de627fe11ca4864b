// The few operating-system services that the library and the programs need. On Windows the real
// services are used by their own names; POSIX gets the least that the callers need under the same
// names, so that the calling code reads the same on every platform. Internal: the library compiles
// it in with its symbols hidden, and a program that calls it links it itself.
#pragma once

#include <cstdint>
#include <cstdio>

#include "trace_window.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Calls the receiver's handler and returns its result; a null receiver gets nothing and gives 0.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The socket library needs no start on POSIX; these keep the program's calls as they are.
struct WSAData {
    unsigned short wVersion;
};
using WSADATA = WSAData;
int WSAStartup(unsigned short version, WSADATA* data);
#endif

namespace platform {

// The real pause of the calling thread. Everything else pauses through qel::Sleep, which tests
// replace; only that hook calls this.
void RealSleep(unsigned long milliseconds);

// A write to a pipe or socket whose reader has gone fails with an error instead of ending the
// process (SIGPIPE on POSIX; Windows has no such signal).
void IgnoreBrokenPipe();

// Whether the stream is a terminal (isatty; _isatty on Windows): a display redrawn in place goes
// only there, never into a pipe or a file.
bool IsTerminal(std::FILE* stream);

struct TerminalSize {
    int rows;
    int columns;
};

// Readies the terminal that the stream writes to for a display redrawn with ANSI escape sequences
// (cursor up, erase line): Windows' console has them processed only when asked. False when the
// stream is no terminal or its console cannot take them; else size holds the terminal's (24 by
// 80 when it does not tell).
bool StartAnsiTerminal(std::FILE* stream, TerminalSize& size);

// ---- TCP sockets: the places where BSD sockets and Winsock differ ----

// One handle type on both systems (Winsock's SOCKET; a descriptor on POSIX), all bits set when
// there is none.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};
#ifdef _WIN32
inline constexpr int kErrorWouldBlock = WSAEWOULDBLOCK;
inline constexpr int kErrorInProgress = WSAEINPROGRESS;
#else
// POSIX reports a pending non-blocking connect as EINPROGRESS and a full send buffer as
// EWOULDBLOCK; both are mapped onto the Winsock meanings the channel tests for.
inline constexpr int kErrorWouldBlock = 10035;
inline constexpr int kErrorInProgress = 10036;
#endif

// Starts the socket library for one more user (Winsock counts its starts); true when it is
// usable. Every successful start is ended by one StopSocketLibrary. Nothing to do on POSIX.
bool StartSocketLibrary();
void StopSocketLibrary();

// A new IPv4 stream socket, or kInvalidSocket.
SocketHandle OpenTcpSocket();
// Closes the socket; does nothing for kInvalidSocket. Returns 0 or the error.
int CloseSocketHandle(SocketHandle socket);
// The last socket error of this thread, in Winsock numbering for the two codes above.
int LastSocketError();
void SetSocketNonBlocking(SocketHandle socket, bool nonBlocking);
void SetSocketNoDelay(SocketHandle socket);
// Sends at once what SendBytes held back (on Linux; elsewhere nothing is held).
void PushSocketOutput(SocketHandle socket);
// Resolves a host name or dotted address to an IPv4 address in network byte order.
bool ResolveIPv4(const char* host, std::uint32_t* addressNetworkOrder);
// Dotted IPv4 text to network-order address; 0xFFFFFFFF ("none") when it is not an address.
std::uint32_t ParseIPv4(const char* text);
// Starts a connect to the address; 0 when connected at once, else -1 with LastSocketError set.
int ConnectIPv4(SocketHandle socket, std::uint32_t addressNetworkOrder, std::uint16_t port);
// Waits until a pending connect has finished: >0 finished, 0 time-out, <0 the wait failed.
int WaitForConnect(SocketHandle socket, int timeoutMilliseconds);
// Waits for data (or the peer's close): >0 readable, 0 time-out, <0 the wait failed.
int WaitReadable(SocketHandle socket, int timeoutMilliseconds);
// The socket's pending error into *error; false when it cannot be read.
bool PendingSocketError(SocketHandle socket, int* error);
// send and recv; a closed peer never raises a signal. Results as the system's calls. With more,
// the bytes may wait for those that follow (MSG_MORE on Linux) until PushSocketOutput, so that
// pieces sent one after another leave in one segment.
int SendBytes(SocketHandle socket, const char* data, int length, bool more = false);
int ReceiveBytes(SocketHandle socket, char* buffer, int length);

// What ReceiveWithin gives when nothing came in time.
constexpr int kReceiveTimedOut = -2;
// Bounds the blocking receives of ReceiveWithin on the socket; call it with the time-out that
// ReceiveWithin will be given (a socket option on POSIX; nothing on Windows).
void SetReceiveTimeout(SocketHandle socket, int timeoutMilliseconds);
// Receives up to length bytes, waiting at most timeoutMilliseconds for the first (0: only what
// has arrived): >0 bytes, 0 the peer closed, -1 failed, kReceiveTimedOut. On POSIX a wait longer
// than 0 is one blocking receive, bounded by SetReceiveTimeout, instead of a poll and a receive.
int ReceiveWithin(SocketHandle socket, char* buffer, int length, int timeoutMilliseconds);

}  // namespace platform
