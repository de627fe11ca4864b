// Reading from a POSIX descriptor with a bound on the whole wait.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

// What arrives on fd, up to count bytes, until the limit has passed or the other end closes.
inline std::string ReadWithDeadline(int fd, std::size_t count, std::chrono::milliseconds limit) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    std::string text;
    while (text.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd entry{fd, POLLIN, 0};
        const int ready = poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        char piece[4096];
        const ssize_t got = read(fd, piece, std::min(sizeof piece, count - text.size()));
        if (got <= 0) {
            break;
        }
        text.append(piece, static_cast<std::size_t>(got));
    }
    return text;
}
