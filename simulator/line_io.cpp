#include "line_io.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "stop_signal.h"

namespace qelsim {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(SteadyTime deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, kPollInterval.count()));
}

bool WaitWritable(int fd, SteadyTime giveUp) {
    while (!StopRequested() && Clock::now() < giveUp) {
        pollfd entry{fd, POLLOUT, 0};
        if (poll(&entry, 1, MillisecondsUntil(giveUp)) > 0) {
            return (entry.revents & (POLLERR | POLLNVAL)) == 0;
        }
    }
    return false;
}

}  // namespace

bool WaitUntil(SteadyTime deadline) {
    while (!StopRequested()) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return true;
        }
        const auto step = std::min<Clock::duration>(left, kPollInterval);
        const timespec pause{
            0,
            static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(step).count())};
        nanosleep(&pause, nullptr);
    }
    return false;
}

ReadOutcome ReadSome(int fd, char* buffer, std::size_t capacity, std::size_t& received,
                     int watchFd) {
    received = 0;
    pollfd entries[2] = {{fd, POLLIN, 0}, {watchFd, POLLIN, 0}};
    const int ready = poll(entries, watchFd >= 0 ? 2 : 1, static_cast<int>(kPollInterval.count()));
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

std::chrono::nanoseconds CharacterTime(std::uint32_t baud) {
    if (baud == 0) {
        return std::chrono::nanoseconds::zero();
    }
    return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

bool WritePaced(int fd, std::string_view bytes, std::chrono::nanoseconds characterTime) {
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
        if (!WaitWritable(fd, giveUp)) {
            return false;
        }
        const ssize_t written = write(fd, bytes.data() + sent, due - sent);
        if (written < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return false;
        }
        sent += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    return true;
}

}  // namespace qelsim
