// Waiting, reading and writing on the descriptor of a line (socket or pseudo-terminal master),
// with the wire time of a serial line when a baud rate is set. Every wait is bounded and ends
// early when a stop was requested.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace qelsim {

using SteadyTime = std::chrono::steady_clock::time_point;

inline constexpr std::chrono::milliseconds kPollInterval{100};
inline constexpr std::chrono::seconds kWriteLimit{5};

// Sleeps until the deadline; false when a stop ended the wait.
bool WaitUntil(SteadyTime deadline);

// The time one character takes on the wire; zero at full speed.
std::chrono::nanoseconds CharacterTime(std::uint32_t baud);

// Writes every byte, each not before its wire time has come. False when the peer is gone, a stop
// was requested, or the line does not take the bytes within the write limit.
bool WritePaced(int fd, std::string_view bytes, std::chrono::nanoseconds characterTime);

// ---- What each system does its own way (line_io_posix.cpp, line_io_win32.cpp) ----

enum class ReadOutcome { kData, kIdle, kWatch, kClosed, kFailed };

// Waits up to `wait` (at most the poll interval) for input and reads what is there. A watched
// descriptor (-1 for none; POSIX only) that becomes readable first ends the wait with kWatch.
ReadOutcome ReadSome(int fd, char* buffer, std::size_t capacity, std::size_t& received,
                     std::chrono::milliseconds wait, int watchFd = -1);

// True when the line takes bytes before giveUp; false when it failed or a stop was requested.
bool WaitWritable(int fd, SteadyTime giveUp);

// Writes what the line takes at once: the count, 0 when it takes nothing just now, -1 when the
// line failed.
long WriteSome(int fd, const char* bytes, std::size_t count);

}  // namespace qelsim
