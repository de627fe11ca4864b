#include "progress_block.h"

#include <algorithm>

#include "text_format.h"

namespace cli {
namespace {

std::string AttemptWords(int attempt, const std::string& words) {
    return attempt > 1 ? "attempt " + std::to_string(attempt) + ": " + words : words;
}

}  // namespace

void DeviceStatus::Follow(const qel_event& event) {
    switch (event.kind) {
        case QEL_EVENT_ATTEMPT:
            if (event.phase == QEL_PHASE_OPEN) {
                m_state = State::kRunning;
                m_attempt = event.attempt;
                m_words = AttemptWords(m_attempt, "connecting");
            }
            break;
        case QEL_EVENT_OPEN:
            if (event.code != 0) {
                m_words = "attempt " + std::to_string(m_attempt) + ": cannot connect (" +
                          std::to_string(event.code) + ")";
            }
            break;
        case QEL_EVENT_PROGRESS:
            m_state = State::kRunning;
            m_words = AttemptWords(m_attempt, m_meter.Follow(event));
            break;
        case QEL_EVENT_RESULT:
            m_state = event.ok != 0 ? State::kOk : State::kFailed;
            m_words = event.ok != 0 ? "done ok"
                                    : "failed " + std::to_string(event.code) + " " +
                                          qel_failure_name(event.failure);
            break;
        default:
            break;
    }
}

ProgressBlock::ProgressBlock(const std::vector<std::string>& names, std::FILE* terminal,
                             platform::TerminalSize size, LineWriter& writer, Clock clock)
    : m_names(PaddedToWidest(names, 2)),
      m_devices(names.size()),
      m_terminal(terminal),
      m_size(size),
      m_writer(writer),
      m_clock(std::move(clock)) {
    m_writer.SetOverlay(this);
}

ProgressBlock::~ProgressBlock() {
    m_writer.SetOverlay(nullptr);
}

void ProgressBlock::OnEvent(std::size_t index, const qel_event& event) {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_devices[index].Follow(event);
        if (!Due()) {
            return;
        }
    }
    m_writer.DrawOverlay();
}

bool ProgressBlock::Due() const {
    return !m_drawnAt || m_clock() - *m_drawnAt >= std::chrono::milliseconds(kRedrawEveryMs);
}

void ProgressBlock::Erase() {
    const std::lock_guard<std::mutex> hold(m_lock);
    std::fputs(EraseText().c_str(), m_terminal);
    std::fflush(m_terminal);
    m_shown = 0;
}

void ProgressBlock::Draw() {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (!Due()) {
        return;
    }
    std::string text = EraseText();
    const std::vector<std::string> lines = Lines();
    for (const std::string& line : lines) {
        // A line as wide as the terminal would wrap, and the cursor movement would miss a line.
        text += '\n';
        text.append(line, 0, static_cast<std::size_t>(std::max(m_size.columns - 1, 1)));
    }
    std::fputs(text.c_str(), m_terminal);
    std::fflush(m_terminal);
    m_shown = lines.size();
    m_drawnAt = m_clock();
}

// The block begins with a line break, so that it stands below the last line written, which has
// none (every line of the output begins with its own). Erasing it brings the cursor back to the
// start of that line; the next line's break moves on from there.
std::string ProgressBlock::EraseText() const {
    if (m_shown == 0) {
        return "";
    }
    std::string text = "\r\x1b[2K";
    for (std::size_t line = 1; line < m_shown; ++line) {
        text += "\x1b[1A\x1b[2K";
    }
    return text + "\x1b[1A";
}

// The lines of the devices that have begun, in their order; when the terminal has too few lines
// for them all (one is kept for the last line written above the block and one for the counts),
// the running ones come first and the count line says how many are left out.
std::vector<std::string> ProgressBlock::Lines() const {
    using State = DeviceStatus::State;
    int count[4] = {};
    std::vector<std::size_t> begun;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        const State state = m_devices[i].Now();
        ++count[static_cast<int>(state)];
        if (state != State::kWaiting) {
            begun.push_back(i);
        }
    }
    const std::size_t room = static_cast<std::size_t>(std::max(m_size.rows - 2, 1));
    if (begun.size() > room) {
        std::stable_partition(begun.begin(), begun.end(), [this](std::size_t i) {
            return m_devices[i].Now() == State::kRunning;
        });
    }
    const std::size_t shown = std::min(begun.size(), room);
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < shown; ++i) {
        lines.push_back(m_names[begun[i]] + m_devices[begun[i]].Words());
    }
    std::string counts = std::to_string(count[0]) + " waiting, " + std::to_string(count[1]) +
                         " running, " + std::to_string(count[2]) + " done ok, " +
                         std::to_string(count[3]) + " failed";
    if (shown < begun.size()) {
        counts += ", " + std::to_string(begun.size() - shown) + " not shown";
    }
    lines.push_back(counts);
    return lines;
}

std::chrono::milliseconds ProgressBlock::SteadyClock() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace cli
