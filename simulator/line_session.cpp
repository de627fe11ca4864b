#include "line_session.h"

#include <algorithm>

#include "line_assembler.h"
#include "stop_signal.h"

namespace qelsim {

LineSession::LineSession(SimulatedDevice& simulated, int fd, LineWatch watch)
    : m_simulated(simulated),
      m_fd(fd),
      m_watch(std::move(watch)),
      m_characterTime(CharacterTime(simulated.faults.baud)) {}

SessionEnd LineSession::Serve() {
    LineAssembler assembler;
    SteadyTime inputDoneAt = std::chrono::steady_clock::now();
    char buffer[4096];
    while (!StopRequested()) {
        std::size_t received = 0;
        switch (ReadSome(m_fd, buffer, sizeof buffer, received, m_watch.fd)) {
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
        if (m_characterTime.count() > 0) {
            // The characters are only complete once their wire time has passed.
            inputDoneAt = std::max(inputDoneAt, std::chrono::steady_clock::now()) +
                          m_characterTime * received;
            if (!WaitUntil(inputDoneAt)) {
                return SessionEnd::kStopped;
            }
        }
        for (std::size_t i = 0; i < received; ++i) {
            if (auto line = assembler.Push(buffer[i])) {
                if (auto end = HandleLine(*line)) {
                    return *end;
                }
            }
        }
    }
    return SessionEnd::kStopped;
}

std::optional<SessionEnd> LineSession::HandleLine(std::string_view line) {
    DeviceModel& device = m_simulated.device;
    const std::optional<std::string> reply = device.HandleRequest(line);
    const std::size_t number = device.RequestCount();
    std::string text = std::move(m_heldReply);
    m_heldReply.clear();
    std::string lineFaults;
    if (reply && m_simulated.faults.lateReplies.count(static_cast<std::uint32_t>(number)) != 0) {
        m_heldReply = *reply;
        lineFaults = "late";
    } else if (reply) {
        text += *reply;
    }
    if (reply && m_simulated.faults.slowReplies.count(static_cast<std::uint32_t>(number)) != 0) {
        lineFaults += lineFaults.empty() ? "slow" : ",slow";
    }
    m_simulated.outputs.LogRequest(number, device.Requests().back(), lineFaults);
    if (m_simulated.pendingBoot) {
        m_simulated.outputs.LogBoot(*m_simulated.pendingBoot);
        m_simulated.pendingBoot.reset();
    }
    if (auto end = Send(text, number)) {
        return end;
    }
    if (number == m_simulated.faults.closeAfterRequest && !m_simulated.closeFaultDone) {
        m_simulated.closeFaultDone = true;
        return SessionEnd::kClosedByFault;
    }
    return std::nullopt;
}

std::optional<SessionEnd> LineSession::Send(const std::string& text, std::size_t number) {
    if (text.empty()) {
        return std::nullopt;
    }
    auto delay = std::chrono::milliseconds(m_simulated.faults.replyDelayMs);
    const auto& slow = m_simulated.faults.slowReplies;
    if (const auto found = slow.find(static_cast<std::uint32_t>(number)); found != slow.end()) {
        delay += std::chrono::milliseconds(found->second);
    }
    if (delay.count() > 0 && !WaitUntil(std::chrono::steady_clock::now() + delay)) {
        return SessionEnd::kStopped;
    }
    if (!WritePaced(m_fd, text, m_characterTime)) {
        return StopRequested() ? SessionEnd::kStopped : SessionEnd::kPeerClosed;
    }
    return std::nullopt;
}

}  // namespace qelsim
