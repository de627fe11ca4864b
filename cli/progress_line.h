// The progress display of a terminal: one line on standard error with the phase, percentage,
// pages, bytes a second and the time left, redrawn in place at most every 250 ms. It steps aside
// (the line is blanked) before the output it wraps prints a line, and at the end, so that no
// text runs into it. The program creates it only where standard error is a terminal.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "event_sink.h"

namespace cli {

// Redraws of a progress display come at most this often.
inline constexpr std::uint32_t kRedrawEveryMs = 250;

// The display's words: "write   45%  460/1023 pages  23.4 kB/s  0:12 left".
std::string ProgressText(const qel_event& event, double bytesPerSecond, double secondsLeft);
// The share of the phase's pages done, 0 to 100 (100 for a phase without pages).
int PercentOf(const qel_event& event);

// Follows one download's progress events: the bytes a second since the download began, and the
// time left of the phase from the pace of its pages so far.
class ProgressMeter {
  public:
    // Takes in a progress event and returns ProgressText's words for it.
    std::string Follow(const qel_event& event);

  private:
    int m_phase = QEL_PHASE_NONE;
    int m_phaseFirstDone = 0;
    std::uint32_t m_phaseStartMs = 0;
};

class ProgressLine final : public qel::EventSink {
  public:
    // Whether next prints a line for the event.
    using PrintsText = bool (*)(const qel_event& event);

    ProgressLine(qel::EventSink& next, PrintsText printsText, std::FILE* terminal);

    void OnEvent(const qel_event& event) override;

  private:
    void Draw(const qel_event& event, std::string text);
    void Clear();

    qel::EventSink& m_next;
    PrintsText m_printsText;
    std::FILE* m_terminal;
    ProgressMeter m_meter;
    std::size_t m_width = 0;  // of the line on the screen; 0 when there is none
    bool m_drawn = false;
    std::uint32_t m_drawnAtMs = 0;
};

}  // namespace cli
