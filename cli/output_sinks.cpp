#include "output_sinks.h"

#include "platform.h"

namespace cli {
namespace {

bool DefaultPrints(const qel_event& event) {
    return event.text != nullptr && event.text[0] != '\0';
}

}  // namespace

OutputSinks::OutputSinks(OutputMode mode, JsonRunInfo run, LineWriter& writer, std::FILE* terminal)
    : m_mode(mode), m_sink(&qel::DefaultEventSink()) {
    if (mode == OutputMode::kJson) {
        m_sink = &m_json.emplace(writer, std::move(run));
        return;
    }
    if (mode == OutputMode::kQuiet) {
        m_sink = &m_quiet.emplace(writer);
    }
    if (platform::IsTerminal(terminal)) {
        const ProgressLine::PrintsText prints =
            mode == OutputMode::kQuiet ? &QuietSink::Prints : &DefaultPrints;
        m_sink = &m_progress.emplace(*m_sink, prints, terminal);
    }
}

}  // namespace cli
