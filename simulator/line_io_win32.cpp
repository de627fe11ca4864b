// Waiting, reading and writing on a connected socket under Winsock: on Windows the device serves
// TCP only. The line's descriptor carries the socket handle, as Winsock's handles are small
// values that fit.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>

#include <algorithm>
#include <thread>

#include "line_io.h"
#include "stop_signal.h"

namespace qelsim {
namespace {

using Clock = std::chrono::steady_clock;

SOCKET AsSocket(int fd) {
    return static_cast<SOCKET>(static_cast<unsigned int>(fd));
}

std::chrono::milliseconds UntilOrPollInterval(SteadyTime deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return std::clamp(left, std::chrono::milliseconds::zero(), kPollInterval);
}

timeval AsTimeval(std::chrono::milliseconds wait) {
    timeval value{};
    value.tv_sec = static_cast<long>(wait.count() / 1000);
    value.tv_usec = static_cast<long>((wait.count() % 1000) * 1000);
    return value;
}

// >0 ready, 0 nothing within the wait, <0 the wait failed. Winsock reports a connection that
// failed in the exception set.
int WaitFor(SOCKET socket, bool forWriting, std::chrono::milliseconds wait, bool* failed) {
    fd_set ready;
    fd_set broken;
    FD_ZERO(&ready);
    FD_ZERO(&broken);
    FD_SET(socket, &ready);
    FD_SET(socket, &broken);
    timeval limit = AsTimeval(wait);
    const int result =
        select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &broken, &limit);
    *failed = result > 0 && FD_ISSET(socket, &broken);
    return result == SOCKET_ERROR ? -1 : result;
}

bool WaitWritable(SOCKET socket, SteadyTime giveUp) {
    while (!StopRequested() && Clock::now() < giveUp) {
        bool failed = false;
        const int ready = WaitFor(socket, true, UntilOrPollInterval(giveUp), &failed);
        if (ready != 0) {
            return ready > 0 && !failed;
        }
    }
    return false;
}

bool IsMomentary(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

bool MeansPeerGone(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN ||
           error == WSAENETRESET;
}

}  // namespace

bool WaitUntil(SteadyTime deadline) {
    while (!StopRequested()) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return true;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kPollInterval));
    }
    return false;
}

// There is no second descriptor to watch on Windows: only the pseudo-terminal server uses one.
ReadOutcome ReadSome(int fd, char* buffer, std::size_t capacity, std::size_t& received, int) {
    received = 0;
    const SOCKET socket = AsSocket(fd);
    bool failed = false;
    const int ready = WaitFor(socket, false, kPollInterval, &failed);
    if (ready == 0) {
        return ReadOutcome::kIdle;
    }
    if (ready < 0) {
        return ReadOutcome::kFailed;
    }
    const int wanted = static_cast<int>(std::min<std::size_t>(capacity, 1 << 20));
    const int count = recv(socket, buffer, wanted, 0);
    if (count > 0) {
        received = static_cast<std::size_t>(count);
        return ReadOutcome::kData;
    }
    if (count == 0) {
        return ReadOutcome::kClosed;
    }
    const int error = WSAGetLastError();
    if (IsMomentary(error)) {
        return ReadOutcome::kIdle;
    }
    return MeansPeerGone(error) || failed ? ReadOutcome::kClosed : ReadOutcome::kFailed;
}

std::chrono::nanoseconds CharacterTime(std::uint32_t baud) {
    if (baud == 0) {
        return std::chrono::nanoseconds::zero();
    }
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

bool WritePaced(int fd, std::string_view bytes, std::chrono::nanoseconds characterTime) {
    const SOCKET socket = AsSocket(fd);
    const SteadyTime start = Clock::now();
    const SteadyTime giveUp = start + kWriteLimit + characterTime * bytes.size();
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        std::size_t due = bytes.size();
        if (characterTime.count() > 0) {
            // Character i has left the wire when i + 1 character times have passed.
            due = std::min<std::size_t>(
                bytes.size(), static_cast<std::size_t>((Clock::now() - start) / characterTime));
            if (due <= sent) {
                if (!WaitUntil(start + characterTime * (sent + 1))) {
                    return false;
                }
                continue;
            }
        }
        if (!WaitWritable(socket, giveUp)) {
            return false;
        }
        const int written = send(socket, bytes.data() + sent, static_cast<int>(due - sent), 0);
        if (written == SOCKET_ERROR && !IsMomentary(WSAGetLastError())) {
            return false;
        }
        sent += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    return true;
}

}  // namespace qelsim
