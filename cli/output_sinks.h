// The sink that a program's run reports to in the mode its command line chose: the default
// sink's text, quiet text or JSON Lines on standard output, and on a terminal's standard error
// the progress line in front of either text mode.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>

#include "event_sink.h"
#include "json_lines_sink.h"
#include "line_writer.h"
#include "output_mode.h"
#include "progress_line.h"
#include "quiet_sink.h"

namespace cli {

class OutputSinks {
  public:
    // terminal: where the progress line goes when it is a terminal (standard error).
    OutputSinks(OutputMode mode, JsonRunInfo run, LineWriter& writer = StandardOutput(),
                std::FILE* terminal = stderr);
    // The chosen sink points into the object.
    OutputSinks(const OutputSinks&) = delete;
    OutputSinks& operator=(const OutputSinks&) = delete;

    OutputMode Mode() const { return m_mode; }
    qel::EventSink& Sink() { return *m_sink; }
    // The JSON Lines sink under /json, else null.
    JsonLinesSink* Json() { return m_json ? &*m_json : nullptr; }
    // Which events the text modes print a line for (all with a text, or under /q only errors and
    // the final line).
    ProgressLine::PrintsText Prints() const;
    // Standard error when it is a terminal and the output is text, else null.
    std::FILE* Terminal() const { return m_terminal; }

  private:
    OutputMode m_mode;
    std::FILE* m_terminal = nullptr;
    std::optional<JsonLinesSink> m_json;
    std::optional<QuietSink> m_quiet;
    std::optional<ProgressLine> m_progress;
    qel::EventSink* m_sink;
};

}  // namespace cli
