// The line's system calls under Winsock: on Windows the device serves TCP only. The line's
// descriptor carries the socket handle, as Winsock's handles are small values that fit.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>

#include <algorithm>

#include "line_io.h"
#include "stop_signal.h"

namespace qelsim {
namespace {

using Clock = std::chrono::steady_clock;

SOCKET AsSocket(int fd) {
    return static_cast<SOCKET>(static_cast<unsigned int>(fd));
}

timeval AsTimeval(std::chrono::milliseconds wait) {
    wait = std::clamp(wait, std::chrono::milliseconds::zero(),
                      std::chrono::milliseconds(kPollInterval));
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

bool IsMomentary(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
}

bool MeansPeerGone(int error) {
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN ||
           error == WSAENETRESET;
}

}  // namespace

// There is no second descriptor to watch on Windows: only the pseudo-terminal server uses one.
ReadOutcome ReadSome(int fd, char* buffer, std::size_t capacity, std::size_t& received,
                     std::chrono::milliseconds wait, int) {
    received = 0;
    const SOCKET socket = AsSocket(fd);
    bool failed = false;
    const int ready = WaitFor(socket, false, wait, &failed);
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

bool WaitWritable(int fd, SteadyTime giveUp) {
    while (!StopRequested() && Clock::now() < giveUp) {
        bool failed = false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(giveUp - Clock::now());
        const int ready = WaitFor(AsSocket(fd), true, left, &failed);
        if (ready != 0) {
            return ready > 0 && !failed;
        }
    }
    return false;
}

long WriteSome(int fd, const char* bytes, std::size_t count) {
    const int wanted = static_cast<int>(std::min<std::size_t>(count, 1 << 20));
    const int written = send(AsSocket(fd), bytes, wanted, 0);
    if (written != SOCKET_ERROR) {
        return written;
    }
    return IsMomentary(WSAGetLastError()) ? 0 : -1;
}

}  // namespace qelsim
