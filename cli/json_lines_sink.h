// The events of a run as JSON Lines for a script: one object a line, each naming its "event",
// the last one the result. Progress is thinned to a step of 1% or 250 ms (the last page of a
// phase always comes); trace lines, step lines and the operator's other lines are left out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "event_sink.h"
#include "json_text.h"
#include "line_writer.h"

namespace cli {

// What the start object names besides the file's addresses and pages.
struct JsonRunInfo {
    std::string program;
    std::string version;
    std::string file;
};

class JsonLinesSink final : public qel::EventSink {
  public:
    // With a device name, every object carries it as "device", so that one writer can take the
    // lines of several devices at once.
    JsonLinesSink(LineWriter& writer, JsonRunInfo run, std::string device = {});

    void OnEvent(const qel_event& event) override;
    // The file of the start object, once the command line has named it.
    void SetFile(std::string file) { m_run.file = std::move(file); }
    const JsonRunInfo& Run() const { return m_run; }

    // An object of the program's own: "event" and "device" first, the caller's fields after.
    JsonObject Begin(std::string_view event) const;
    void Write(const JsonObject& object) { m_writer.WriteLine(object.Text()); }

  private:
    void OnProgress(const qel_event& event);
    void OnMessage(const qel_event& event);

    LineWriter& m_writer;
    JsonRunInfo m_run;
    std::string m_device;
    std::string m_lastError;  // the meaning of a failure that has no result code
    int m_phase = QEL_PHASE_NONE;
    int m_percentShown = 0;
    std::uint32_t m_shownAtMs = 0;
};

}  // namespace cli
