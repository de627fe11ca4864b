// The output of a station run: every device's lines, each whole and prefixed with the device's
// name, through one writer that lets one device write at a time; and each device's own text,
// unprefixed and as the program prints it for one device, in a log file of its own.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "event_sink.h"
#include "json_lines_sink.h"
#include "progress_line.h"

namespace orvane {

// Writes whole lines to standard output through the process's one line writer, each as
// "\n" + prefix + line; of the events only those that the output mode prints (under /q errors and
// the final line).
class StationWriter {
  public:
    explicit StationWriter(cli::ProgressLine::PrintsText prints) : m_prints(prints) {}
    bool Prints(const qel_event& event) const { return m_prints(event); }
    void WriteLines(const std::string& prefix, const std::vector<std::string>& lines);

  private:
    cli::ProgressLine::PrintsText m_prints;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using LogFile = std::unique_ptr<std::FILE, FileCloser>;

// One device's sink: the lines of each event's text (empty ones left out) that the writer prints,
// under the device's prefix, or under /json the device's JSON Lines, each object with its "device";
// and the text as it is to the device's log file, when it has one.
class DeviceSink final : public qel::EventSink {
  public:
    DeviceSink(StationWriter& writer, std::string prefix, LogFile log);
    DeviceSink(const cli::JsonRunInfo& json, const std::string& device, LogFile log);
    ~DeviceSink();
    void OnEvent(const qel_event& event) override;

  private:
    StationWriter* m_writer = nullptr;
    std::string m_prefix;
    std::optional<cli::JsonLinesSink> m_json;
    LogFile m_log;
};

// The lines of the file's loading and preparation, which every device shares: printed once as
// the run's sink takes them, and written to every device's log file.
class PreparationSink final : public qel::EventSink {
  public:
    PreparationSink(qel::EventSink& run, const std::vector<LogFile>& logs)
        : m_run(run), m_logs(logs) {}
    void OnEvent(const qel_event& event) override;

  private:
    qel::EventSink& m_run;
    const std::vector<LogFile>& m_logs;
};

// The non-empty lines of a text, without their line breaks.
std::vector<std::string> LinesOf(const std::string& text);

}  // namespace orvane
