#include "progress_line.h"

namespace cli {
namespace {

std::string Rate(double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond >= 1000.0) {
        std::snprintf(text, sizeof text, "%.1f kB/s", bytesPerSecond / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%.0f B/s", bytesPerSecond);
    }
    return text;
}

std::string TimeLeft(double seconds) {
    if (seconds < 0) {
        return "-:-- left";
    }
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld left", whole / 60, whole % 60);
    return text;
}

}  // namespace

int PercentOf(const qel_event& event) {
    return event.pages_total > 0 ? event.pages_done * 100 / event.pages_total : 100;
}

std::string ProgressText(const qel_event& event, double bytesPerSecond, double secondsLeft) {
    const int percent = PercentOf(event);
    char text[96];
    std::snprintf(text, sizeof text, "%-12s %3d%%  %d/%d pages  ", qel_phase_name(event.phase),
                  percent, event.pages_done, event.pages_total);
    return text + Rate(bytesPerSecond) + "  " + TimeLeft(secondsLeft);
}

std::string ProgressMeter::Follow(const qel_event& event) {
    if (event.phase != m_phase) {
        m_phase = event.phase;
        m_phaseFirstDone = event.pages_done;
        m_phaseStartMs = event.elapsed_ms;
    }
    const double seconds = event.elapsed_ms / 1000.0;
    const double bytesPerSecond = seconds > 0 ? static_cast<double>(event.line_bytes) / seconds : 0;
    const double phaseSeconds = (event.elapsed_ms - m_phaseStartMs) / 1000.0;
    const int pagesInPhase = event.pages_done - m_phaseFirstDone;
    const double secondsLeft =
        pagesInPhase > 0 && phaseSeconds > 0
            ? (event.pages_total - event.pages_done) * phaseSeconds / pagesInPhase
            : -1.0;
    return ProgressText(event, bytesPerSecond, secondsLeft);
}

ProgressLine::ProgressLine(qel::EventSink& next, PrintsText printsText, std::FILE* terminal)
    : m_next(next), m_printsText(printsText), m_terminal(terminal) {}

void ProgressLine::OnEvent(const qel_event& event) {
    if (event.kind == QEL_EVENT_PROGRESS) {
        std::string text = m_meter.Follow(event);
        if (!m_drawn || event.elapsed_ms - m_drawnAtMs >= kRedrawEveryMs) {
            Draw(event, std::move(text));
        }
    } else if (event.kind == QEL_EVENT_RESULT || m_printsText(event)) {
        Clear();
    }
    m_next.OnEvent(event);
}

void ProgressLine::Draw(const qel_event& event, std::string text) {
    const std::size_t width = text.size();
    // Blanks over the rest of a longer line before.
    text.append(m_width > width ? m_width - width : 0, ' ');
    std::fprintf(m_terminal, "\r%s", text.c_str());
    std::fflush(m_terminal);
    m_width = width;
    m_drawn = true;
    m_drawnAtMs = event.elapsed_ms;
}

void ProgressLine::Clear() {
    if (m_width == 0) {
        return;
    }
    std::fprintf(m_terminal, "\r%s\r", std::string(m_width, ' ').c_str());
    std::fflush(m_terminal);
    m_width = 0;
}

}  // namespace cli
