#include "station_output.h"

#include "line_writer.h"

namespace orvane {
namespace {

void WriteToLog(std::FILE* log, const qel_event& event) {
    if (log != nullptr && event.text != nullptr) {
        std::fputs(event.text, log);
        std::fflush(log);
    }
}

}  // namespace

void StationWriter::WriteLines(const std::string& prefix, const std::vector<std::string>& lines) {
    std::string block;
    for (const std::string& line : lines) {
        block += "\n" + prefix + line;
    }
    // One write for the whole block: no other device's text can come between.
    cli::StandardOutput().Write(block);
}

DeviceSink::DeviceSink(StationWriter& writer, std::string prefix, LogFile log)
    : m_writer(&writer), m_prefix(std::move(prefix)), m_log(std::move(log)) {}

DeviceSink::DeviceSink(const cli::JsonRunInfo& json, const std::string& device, LogFile log)
    : m_json(std::in_place, cli::StandardOutput(), json, device), m_log(std::move(log)) {}

DeviceSink::~DeviceSink() {
    if (m_log) {
        // The program's own output ends its last line only at exit; the log's ends here.
        std::fputc('\n', m_log.get());
    }
}

void DeviceSink::OnEvent(const qel_event& event) {
    if (m_json) {
        m_json->OnEvent(event);
    }
    if (event.text == nullptr || event.text[0] == '\0') {
        return;
    }
    WriteToLog(m_log.get(), event);
    if (m_writer == nullptr || !m_writer->Prints(event)) {
        return;  // under /json or /q most lines go to the log only
    }
    const std::vector<std::string> lines = LinesOf(event.text);
    if (!lines.empty()) {
        m_writer->WriteLines(m_prefix, lines);
    }
}

void PreparationSink::OnEvent(const qel_event& event) {
    m_run.OnEvent(event);
    for (const LogFile& log : m_logs) {
        WriteToLog(log.get(), event);
    }
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        if (end > start) {
            lines.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return lines;
}

}  // namespace orvane
