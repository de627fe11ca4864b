// The line's system calls on POSIX: poll, read and write on a socket or a pseudo-terminal master.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "line_io.h"
#include "stop_signal.h"

namespace qelsim {
namespace {

using Clock = std::chrono::steady_clock;

int PollMilliseconds(std::chrono::milliseconds wait) {
    return static_cast<int>(std::clamp<long long>(wait.count(), 0, kPollInterval.count()));
}

}  // namespace

ReadOutcome ReadSome(int fd, char* buffer, std::size_t capacity, std::size_t& received,
                     std::chrono::milliseconds wait, int watchFd) {
    received = 0;
    pollfd entries[2] = {{fd, POLLIN, 0}, {watchFd, POLLIN, 0}};
    const int ready = poll(entries, watchFd >= 0 ? 2 : 1, PollMilliseconds(wait));
    if (ready == 0 || (ready < 0 && errno == EINTR)) {
        return ReadOutcome::kIdle;
    }
    if (ready < 0) {
        return ReadOutcome::kFailed;
    }
    if (entries[0].revents == 0) {
        return ReadOutcome::kWatch;
    }
    const ssize_t count = read(fd, buffer, capacity);
    if (count > 0) {
        received = static_cast<std::size_t>(count);
        return ReadOutcome::kData;
    }
    if (count == 0) {
        return ReadOutcome::kClosed;
    }
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
        return ReadOutcome::kIdle;
    }
    return errno == EIO ? ReadOutcome::kClosed : ReadOutcome::kFailed;
}

bool WaitWritable(int fd, SteadyTime giveUp) {
    while (!StopRequested() && Clock::now() < giveUp) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(giveUp - Clock::now());
        pollfd entry{fd, POLLOUT, 0};
        if (poll(&entry, 1, PollMilliseconds(left)) > 0) {
            return (entry.revents & (POLLERR | POLLNVAL)) == 0;
        }
    }
    return false;
}

long WriteSome(int fd, const char* bytes, std::size_t count) {
    const ssize_t written = write(fd, bytes, count);
    if (written >= 0) {
        return static_cast<long>(written);
    }
    return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

}  // namespace qelsim
