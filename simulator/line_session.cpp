#include "line_session.h"

#include <algorithm>
#include <cstdio>

#include "stop_signal.h"

namespace qelsim {
namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds WaitFor(SteadyTime now, std::optional<SteadyTime> wake) {
    if (!wake) {
        return kPollInterval;
    }
    return std::clamp(std::chrono::ceil<std::chrono::milliseconds>(*wake - now),
                      std::chrono::milliseconds::zero(), std::chrono::milliseconds(kPollInterval));
}

std::optional<SteadyTime> Earliest(std::optional<SteadyTime> a, std::optional<SteadyTime> b) {
    if (a && b) {
        return std::min(*a, *b);
    }
    return a ? a : b;
}

}  // namespace

LineSession::LineSession(SimulatedDevice& simulated, int fd, LineWatch watch,
                         std::chrono::milliseconds idleLimit)
    : m_simulated(simulated),
      m_fd(fd),
      m_watch(std::move(watch)),
      m_idleLimit(idleLimit),
      m_characterTime(CharacterTime(simulated.faults.baud)) {}

SessionEnd LineSession::Serve() {
    DeviceLink link(m_simulated, Clock::now());
    SteadyTime inputDoneAt = Clock::now();
    char buffer[4096];
    while (!StopRequested()) {
        const SteadyTime now = Clock::now();
        link.Process(now);
        if (const std::string due = link.TakeDue(now); !due.empty()) {
            if (!WritePaced(m_fd, due, m_characterTime)) {
                return StopRequested() ? SessionEnd::kStopped : SessionEnd::kPeerClosed;
            }
            continue;  // writing took time: look again at what is due
        }
        if (const auto end = link.Ended()) {
            return Close(*end);
        }
        const auto idleAt = link.IdleDeadline(m_idleLimit);
        if (idleAt && now >= *idleAt) {
            return Close(SessionEnd::kIdle);
        }
        std::size_t received = 0;
        switch (ReadSome(m_fd, buffer, sizeof buffer, received,
                         WaitFor(now, Earliest(link.NextEvent(), idleAt)), m_watch.fd)) {
            case ReadOutcome::kIdle:
                continue;
            case ReadOutcome::kWatch:
                m_watch.onReady();
                continue;
            case ReadOutcome::kClosed:
                return SessionEnd::kPeerClosed;
            case ReadOutcome::kFailed:
                return SessionEnd::kFailed;
            case ReadOutcome::kData:
                break;
        }
        SteadyTime complete = Clock::now();
        if (m_characterTime.count() > 0) {
            // The characters are only complete once their wire time has passed.
            inputDoneAt = std::max(inputDoneAt, complete) + m_characterTime * received;
            complete = inputDoneAt;
        }
        link.Receive({buffer, received}, complete);
    }
    return SessionEnd::kStopped;
}

SessionEnd LineSession::Close(SessionEnd end) {
    if (end == SessionEnd::kClosedOnReset) {
        m_simulated.outputs.LogClose("reset");
    } else if (end == SessionEnd::kIdle) {
        char note[64];
        std::snprintf(note, sizeof note, "closed a connection idle for %g s",
                      std::chrono::duration<double>(m_idleLimit).count());
        m_simulated.outputs.LogClose("idle", note);
    }
    return end;
}

}  // namespace qelsim
