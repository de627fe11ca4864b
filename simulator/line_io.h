// Waiting, reading and writing on the descriptor of a line (socket or pseudo-terminal master),
// with the wire time of a serial line when a baud rate is set. Every wait is bounded and ends
// early when a stop was requested.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace qelsim {

using SteadyTime = std::chrono::steady_clock::time_point;

// Sleeps until the deadline; false when a stop ended the wait.
bool WaitUntil(SteadyTime deadline);

enum class ReadOutcome { kData, kIdle, kWatch, kClosed, kFailed };

// Waits up to the poll interval for input and reads what is there. A watched descriptor (-1 for
// none) that becomes readable first ends the wait with kWatch.
ReadOutcome ReadSome(int fd, char* buffer, std::size_t capacity, std::size_t& received,
                     int watchFd = -1);

// The time one character takes on the wire; zero at full speed.
std::chrono::nanoseconds CharacterTime(std::uint32_t baud);

// Writes every byte, each not before its wire time has come. False when the peer is gone, a stop
// was requested, or the line does not take the bytes within the write limit.
bool WritePaced(int fd, std::string_view bytes, std::chrono::nanoseconds characterTime);

inline constexpr std::chrono::milliseconds kPollInterval{100};
inline constexpr std::chrono::seconds kWriteLimit{5};

}  // namespace qelsim
