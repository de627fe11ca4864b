#include "run_orvane.h"

#include "download_driver.h"
#include "help_request.h"
#include "option_parser.h"
#include "option_validation.h"
#include "output_sinks.h"
#include "platform.h"
#include "port_list.h"
#include "station_options.h"
#include "station_run.h"
#include "usage_text.h"

namespace orvane {
namespace {

// How a run that downloads nothing ended, as the last event; its exit status.
int ReportEnding(qel::EventSink& sink, int failure) {
    qel_event ending = qel::MakeEvent(QEL_EVENT_RESULT);
    ending.ok = failure == QEL_FAILURE_NONE ? 1 : 0;
    ending.failure = failure;
    ending.exit_status = qel_exit_status_of(failure);
    sink.OnEvent(ending);
    return ending.exit_status;
}

// The usage text's lines, without the blank lines around it, as one array.
std::string UsageLines() {
    const std::string text = UsageText();
    std::string lines = "[";
    std::size_t from = text.find_first_not_of('\n');
    while (from < text.size()) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        if (lines.size() > 1) {
            lines += ',';
        }
        lines += cli::JsonString(text.substr(from, end - from));
        from = end + 1;
    }
    return lines + "]";
}

// What an operator asked to see: the usage text or the ports, in text even with /q.
int Answer(cli::OutputSinks& output, const std::vector<SerialPortInfo>* ports) {
    cli::JsonLinesSink* json = output.Json();
    if (json == nullptr) {
        ports != nullptr ? PrintPortList(*ports, qel::DefaultEventSink())
                         : PrintUsage(qel::DefaultEventSink());
        return QEL_EXIT_SUCCESS;
    }
    if (ports != nullptr) {
        WritePortList(*ports, *json);
    } else {
        json->Write(json->Begin("usage").AddJson("lines", UsageLines()));
    }
    return ReportEnding(*json, QEL_FAILURE_NONE);
}

}  // namespace

int RunOrvane(int argc, const char* const* argv, const DownloadServices& services) {
    const std::vector<std::string> arguments = cli::ArgumentList(argc, argv);
    cli::OutputSinks output(cli::OutputModeOf(arguments), {kProgramName, kProgramVersion, ""});
    qel::EventSink& sink = output.Sink();
    PrintBanner(sink);
    if (cli::WantsUsage(arguments)) {
        return Answer(output, nullptr);
    }
    const cli::ParsedOptions options = ParseOptions(arguments, sink);
    if (options.Given(kListPortsOption.name)) {
        const std::vector<SerialPortInfo> ports = services.listPorts();
        return Answer(output, &ports);
    }
    RunSettings settings;
    if (IsStationRun(options)) {
        StationSettings station;
        if (!ValidateStation(options, settings, station, sink)) {
            return ReportEnding(sink, QEL_FAILURE_OPTIONS);
        }
        if (cli::JsonLinesSink* json = output.Json()) {
            json->SetFile(settings.filePath);
        }
        return RunStation(settings, station, services, output);
    }
    if (!ValidateOptions(options, settings, sink)) {
        return ReportEnding(sink, QEL_FAILURE_OPTIONS);
    }
    if (cli::JsonLinesSink* json = output.Json()) {
        json->SetFile(settings.filePath);
    }
    return RunDownload(settings, services, sink);
}

}  // namespace orvane

int RunOrvane(int argc, char** argv) {
    // A reader of the output that goes away must not stop a download half way.
    platform::IgnoreBrokenPipe();
    return orvane::RunOrvane(argc, argv, orvane::RealServices());
}
