// The request path of the device: read the line, decide which faults apply, answer, seal.
#include "device_model.h"

#include <algorithm>

#include "boot_check.h"
#include "fault_list.h"
#include "memory_record.h"

namespace qelsim {
namespace {

void NoteRecordFields(const RequestFrame& request, RequestRecord& record) {
    const bool pageCommand = request.command == kCmdWritePage || request.command == kCmdReadPage;
    if (!pageCommand && request.command != kCmdMemoryCrc16) {
        return;
    }
    const auto fields =
        PeekRecord(request.payload, pageCommand ? LengthField::k16Bit : LengthField::k32Bit);
    if (fields) {
        record.address = fields->address;
        record.length = fields->length;
    }
}

}  // namespace

DeviceModel::DeviceModel(DeviceOptions options)
    : m_options(std::move(options)), m_memory(m_options.memorySize, 0xFF) {
    if (InMemory(m_options.preloadAddress, m_options.preload.size())) {
        std::copy(m_options.preload.begin(), m_options.preload.end(),
                  m_memory.begin() + m_options.preloadAddress);
    }
}

WallTime DeviceModel::Now() const {
    return m_options.clock ? m_options.clock() : std::chrono::system_clock::now();
}

std::optional<std::string> DeviceModel::HandleRequest(std::string_view line) {
    const ParsedRequest parsed = ParseRequestLine(line);
    if (m_requests.size() >= std::max<std::size_t>(m_options.requestHistory, 1)) {
        // Half at a time, so that trimming costs little per request.
        m_requests.erase(m_requests.begin(), m_requests.begin() + static_cast<std::ptrdiff_t>(
                                                                      m_requests.size() / 2 + 1));
    }
    ++m_requestCount;
    m_requests.push_back({parsed.command, parsed.messageId, 0, 0, false, {}});
    RequestRecord& record = m_requests.back();
    if (!parsed.frame) {
        AddFault(record.faults, "unreadable");
        return std::nullopt;
    }
    const RequestFrame& request = *parsed.frame;
    NoteRecordFields(request, record);
    if (StaysSilent()) {
        AddFault(record.faults, "silent");
        return std::nullopt;
    }
    const std::size_t number = m_requestCount;
    bool refuse = Names(m_options.failStatusRequests, number);
    if (RefusesWriteAt(request, record)) {
        refuse = true;
    }
    if (refuse) {
        AddFault(record.faults, "status");
    }
    Answer answer = Dispatch(request, record, refuse);
    std::string text = Finish(request, std::move(answer), record);
    if (Names(m_options.dropReplies, number)) {
        AddFault(record.faults, "drop");
        return std::nullopt;
    }
    record.answered = true;
    return text;
}

bool DeviceModel::RefusesWriteAt(const RequestFrame& request, const RequestRecord& record) {
    if (request.command != kCmdWritePage || !m_options.failWriteAddress ||
        !PeekRecord(request.payload, LengthField::k16Bit) ||
        record.address != *m_options.failWriteAddress ||
        m_writesRefused >= m_options.failWriteTimes) {
        return false;
    }
    ++m_writesRefused;
    return true;
}

bool DeviceModel::StaysSilent() {
    if (m_silentUntil && Now() < *m_silentUntil) {
        return true;
    }
    if (m_silentRequestsLeft == 0) {
        return false;
    }
    if (m_silentRequestsLeft != kForever) {
        --m_silentRequestsLeft;
    }
    return true;
}

std::string DeviceModel::Finish(const RequestFrame& request, Answer answer, RequestRecord& record) {
    if (answer.hasStatus) {
        record.status = answer.body[0];
    }
    const std::size_t number = m_requestCount;
    std::uint8_t messageId = request.messageId;
    if (Names(m_options.wrongIdReplies, number)) {
        AddFault(record.faults, "wrong-id");
        messageId = static_cast<std::uint8_t>(messageId + 1);
    }
    std::vector<std::uint8_t> frame = BuildReplyFrame(request.command, messageId, answer.body);
    if (Names(m_options.corruptReplies, number)) {
        AddFault(record.faults, "corrupt");
        frame.back() ^= 0xFF;
    }
    if (answer.resetAccepted) {
        Boot();
    }
    return ToWireText(frame);
}

void DeviceModel::Boot() {
    ++m_resets;
    m_bootVerdict = CheckApplicationImage(m_memory);
    m_silentRequestsLeft = m_options.silentRequestsAfterReset;
    m_silentUntil.reset();
    if (m_options.silentTimeAfterReset.count() > 0) {
        m_silentUntil = Now() + m_options.silentTimeAfterReset;
    }
    if (m_bootObserver) {
        m_bootObserver(m_bootVerdict);
    }
}

}  // namespace qelsim
