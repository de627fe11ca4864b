#include "device_link.h"

#include <algorithm>

#include "fault_list.h"

namespace qelsim {

DeviceLink::DeviceLink(SimulatedDevice& simulated, SteadyTime start)
    : m_simulated(simulated), m_busyUntil(start), m_lastActivity(start) {}

void DeviceLink::Receive(std::string_view bytes, SteadyTime complete) {
    Chunk chunk{std::string(bytes), 0, complete};
    BitNoise& noise = m_simulated.noiseToDevice;
    if (const std::uint64_t flips = noise.Apply(chunk.bytes); flips > 0) {
        m_simulated.outputs.LogNoise("device", flips, noise.Flips(), std::nullopt);
    }
    m_lastActivity = std::max(m_lastActivity, complete);
    m_input.push_back(std::move(chunk));
}

void DeviceLink::Process(SteadyTime now) {
    while (!m_ending && !m_input.empty()) {
        Chunk& chunk = m_input.front();
        // A busy device reads its next request only when it is done.
        const SteadyTime at = std::max(chunk.complete, m_busyUntil);
        if (at > now) {
            return;
        }
        std::optional<std::string> line;
        while (!line && chunk.next < chunk.bytes.size()) {
            line = m_assembler.Push(chunk.bytes[chunk.next++]);
        }
        if (chunk.next == chunk.bytes.size()) {
            m_input.pop_front();
        }
        if (line) {
            HandleLine(*line, at);
        }
    }
}

std::string DeviceLink::ShapeReply(const std::string& reply, std::size_t number,
                                   std::string& lineFaults) {
    const TransportFaults& faults = m_simulated.faults;
    std::string text = reply;
    if (Names(faults.duplicateReplies, number)) {
        text += reply;
        AddFault(lineFaults, "duplicate");
    }
    if (Names(faults.strayAfter, number)) {
        text += kStrayCharacter;
        AddFault(lineFaults, "stray");
    }
    return text;
}

std::chrono::milliseconds DeviceLink::BusyTime(const RequestRecord& record, std::size_t number,
                                               bool sends) const {
    const TransportFaults& faults = m_simulated.faults;
    std::chrono::milliseconds busy{0};
    if (sends) {
        busy += std::chrono::milliseconds(faults.replyDelayMs);
        const auto slow = faults.slowReplies.find(static_cast<std::uint32_t>(number));
        if (slow != faults.slowReplies.end()) {
            busy += std::chrono::milliseconds(slow->second);
        }
    }
    if (record.command == kCmdWritePage && record.status == 0) {
        busy += std::chrono::milliseconds(faults.flashMs);
    }
    return busy;
}

void DeviceLink::HandleLine(std::string_view line, SteadyTime at) {
    DeviceModel& device = m_simulated.device;
    const TransportFaults& faults = m_simulated.faults;
    const std::uint32_t resetsBefore = device.ResetCount();
    const std::optional<std::string> reply = device.HandleRequest(line);
    const std::size_t number = device.RequestCount();
    const RequestRecord& record = device.Requests().back();
    std::string text = std::move(m_heldReply);
    m_heldReply.clear();
    std::string lineFaults;
    if (reply) {
        std::string shaped = ShapeReply(*reply, number, lineFaults);
        if (Names(faults.lateReplies, number)) {
            m_heldReply = std::move(shaped);
            AddFault(lineFaults, "late");
        } else {
            text += shaped;
        }
        if (faults.slowReplies.count(static_cast<std::uint32_t>(number)) != 0) {
            AddFault(lineFaults, "slow");
        }
    }
    m_busyUntil = at + BusyTime(record, number, !text.empty());
    if (!text.empty()) {
        m_queue.push_back(
            {m_busyUntil + std::chrono::milliseconds(faults.latencyMs), std::move(text), number});
    }
    m_simulated.outputs.LogRequest(number, record, lineFaults);
    if (m_simulated.pendingBoot) {
        m_simulated.outputs.LogBoot(*m_simulated.pendingBoot);
        m_simulated.pendingBoot.reset();
    }
    if (number == faults.closeAfterRequest && !m_simulated.closeFaultDone) {
        m_simulated.closeFaultDone = true;
        m_ending = SessionEnd::kClosedByFault;
    } else if (faults.closeOnReset && device.ResetCount() != resetsBefore) {
        m_ending = SessionEnd::kClosedOnReset;  // what arrives after it is lost with the line
    }
}

std::string DeviceLink::TakeDue(SteadyTime now) {
    std::string text;
    BitNoise& noise = m_simulated.noiseToHost;
    while (!m_queue.empty() && m_queue.front().due <= now) {
        QueuedReply& reply = m_queue.front();
        if (const std::uint64_t flips = noise.Apply(reply.text); flips > 0) {
            m_simulated.outputs.LogNoise("host", flips, noise.Flips(), reply.number);
        }
        text += reply.text;
        m_queue.pop_front();
        m_lastActivity = std::max(m_lastActivity, now);
    }
    return text;
}

std::optional<SteadyTime> DeviceLink::NextEvent() const {
    std::optional<SteadyTime> next;
    if (!m_queue.empty()) {
        next = m_queue.front().due;
    }
    if (!m_ending && !m_input.empty()) {
        const SteadyTime readAt = std::max(m_input.front().complete, m_busyUntil);
        next = next ? std::min(*next, readAt) : readAt;
    }
    return next;
}

std::optional<SteadyTime> DeviceLink::IdleDeadline(std::chrono::milliseconds limit) const {
    if (limit.count() <= 0 || !m_queue.empty() || (!m_ending && !m_input.empty())) {
        return std::nullopt;
    }
    return std::max(m_lastActivity, m_busyUntil) + limit;
}

std::optional<SessionEnd> DeviceLink::Ended() const {
    return m_queue.empty() ? m_ending : std::nullopt;
}

}  // namespace qelsim
