// The paced write and the waits, the same on every system; the per-system calls live in
// line_io_posix.cpp and line_io_win32.cpp.
#include "line_io.h"

#include <algorithm>
#include <thread>

#include "stop_signal.h"

namespace qelsim {

using Clock = std::chrono::steady_clock;

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
        const long written = WriteSome(fd, bytes.data() + sent, due - sent);
        if (written < 0) {
            return false;
        }
        sent += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace qelsim
