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
        m_terminal = terminal;
        m_sink = &m_progress.emplace(*m_sink, Prints(), terminal);
    }
}

ProgressLine::PrintsText OutputSinks::Prints() const {
    return m_mode == OutputMode::kQuiet ? &QuietSink::Prints : &DefaultPrints;
}

}  // namespace cli
