// What each back end of CComms (termios, Win32) gives the part that both share.
#pragma once

#include <cstdint>

#include "comms.h"

#ifdef _WIN32
struct _DCB;
#endif

namespace comms_port {

inline constexpr std::intptr_t kNoHandle = -1;  // no descriptor, INVALID_HANDLE_VALUE on Windows
inline constexpr unsigned long kDefaultTimeoutMilliseconds = 1000;

// ---- shared: every wait of one call runs against one deadline on the steady clock ----

long long NowMilliseconds();
// A time-out far beyond any real wait counts as that far, never as a deadline in the past.
long long DeadlineAfter(long long milliseconds);
// What is left until the deadline; 0 once it has passed.
long long RemainingMilliseconds(long long deadline);

// ---- per back end ----

// Whether the back end can run a line with these settings; the port index counts only when no
// device path names the port.
bool SettingsSupported(const comm_settings& settings, bool portIndexUsed);

// A second handle of the same open port, so that each copy closes only its own; kNoHandle when
// none can be had.
std::intptr_t DuplicatePort(std::intptr_t handle);

// Closes the handle; the object that holds the line exclusively (not a copy) gives that up too.
void ClosePort(std::intptr_t handle, bool ownsLine);

enum class Direction { kReceive, kTransmit };
// Drops what waits in one direction; false when that failed.
bool Purge(std::intptr_t handle, Direction direction);

// One step of a read: what has arrived, up to count bytes, waiting until the deadline at most.
// kCommsOk with *got bytes (possibly 0: the call goes on), kCommsErrReadTimeout once the
// deadline has passed with nothing, or kCommsErrRead.
int ReadSome(std::intptr_t handle, unsigned char* buffer, unsigned long count, long long deadline,
             unsigned long* got);
// One step of a write: as much of the count as the port takes, waiting until the deadline at
// most. kCommsOk with *written bytes (possibly 0), kCommsErrWriteTimeout or kCommsErrWrite.
int WriteSome(std::intptr_t handle, const unsigned char* data, unsigned long count,
              long long deadline, unsigned long* written);

#ifdef _WIN32
// The line of a port as SetCommState gets it: the given settings, a raw binary line with no flow
// control, DTR and RTS raised, and valid XON/XOFF characters and limits although flow control is
// off (some drivers report 0 for both characters, and Windows refuses a line whose two are
// equal).
void MakeRawLine(_DCB* line, const comm_settings& settings);
#endif

}  // namespace comms_port
