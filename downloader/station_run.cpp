#include "station_run.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <system_error>
#include <thread>

#include "download_link.h"
#include "platform.h"
#include "progress_block.h"
#include "station_logs.h"
#include "station_output.h"
#include "station_summary.h"
#include "text_format.h"

namespace orvane {
namespace {

std::vector<std::string> NamesOf(const std::vector<StationDevice>& devices) {
    std::vector<std::string> names;
    for (const StationDevice& device : devices) {
        names.push_back(device.name);
    }
    return names;
}

// The prefix of a device's lines: its name in brackets, padded to the longest name's width.
std::vector<std::string> PrefixesOf(const std::vector<StationDevice>& devices) {
    std::vector<std::string> bracketed;
    for (const std::string& name : NamesOf(devices)) {
        bracketed.push_back("[" + name + "]");
    }
    return cli::PaddedToWidest(bracketed, 1);
}

std::optional<cli::JsonRunInfo> JsonRunOf(cli::OutputSinks& output) {
    const cli::JsonLinesSink* json = output.Json();
    return json != nullptr ? std::optional<cli::JsonRunInfo>(json->Run()) : std::nullopt;
}

class Station {
  public:
    Station(const RunSettings& settings, const StationSettings& station,
            const DownloadServices& services, const qel::PreparedFirmware& firmware,
            cli::OutputSinks& output)
        : m_settings(settings),
          m_devices(station.devices),
          m_services(services),
          m_firmware(firmware),
          m_prefixes(PrefixesOf(station.devices)),
          m_outcomes(station.devices.size()),
          m_json(JsonRunOf(output)),
          m_writer(output.Prints()),
          m_terminal(output.Mode() == cli::OutputMode::kText ? output.Terminal() : nullptr) {
        for (std::size_t i = 0; i < m_devices.size(); ++i) {
            m_outcomes[i].name = m_devices[i].name;
        }
    }

    // Each worker takes the next device that nobody has taken until none is left.
    std::vector<DeviceOutcome> Run(int threads, std::vector<LogFile> logs) {
        m_logs = std::move(logs);
        m_logs.resize(m_devices.size());
        const std::size_t workers = std::min<std::size_t>(threads, m_devices.size());
        platform::TerminalSize size{};
        if (m_terminal != nullptr && platform::StartAnsiTerminal(m_terminal, size)) {
            m_progress.emplace(NamesOf(m_devices), m_terminal, size, cli::StandardOutput());
        }
        {
            std::vector<std::jthread> pool;
            try {
                for (std::size_t i = 0; i < workers; ++i) {
                    pool.emplace_back([this] { Work(); });
                }
            } catch (const std::system_error&) {
                // Fewer threads than asked for: the ones there are take every device.
            }
            if (pool.empty()) {
                Work();
            }
        }
        m_progress.reset();
        return m_outcomes;
    }

  private:
    // The device's sink: JSON Lines objects that carry its name, or its prefixed lines.
    DeviceSink SinkOf(std::size_t i, LogFile log) {
        if (m_json) {
            return DeviceSink(*m_json, m_devices[i].name, std::move(log));
        }
        return DeviceSink(m_writer, m_prefixes[i], std::move(log));
    }

    void Work() {
        for (std::size_t i = m_next++; i < m_devices.size(); i = m_next++) {
            DeviceSink sink = SinkOf(i, std::move(m_logs[i]));
            const DeviceLink link(m_devices[i].channel, m_services);
            std::optional<cli::ProgressBlockFeed> feed;
            qel::EventSink* reports = &sink;
            if (m_progress) {
                reports = &feed.emplace(*m_progress, i, sink);
            }
            m_outcomes[i].result = qel::Download(m_firmware, link.Channel(), m_settings, *reports);
        }
    }

    const RunSettings& m_settings;
    const std::vector<StationDevice>& m_devices;
    const DownloadServices& m_services;
    const qel::PreparedFirmware& m_firmware;
    const std::vector<std::string> m_prefixes;
    std::vector<LogFile> m_logs;
    std::vector<DeviceOutcome> m_outcomes;
    const std::optional<cli::JsonRunInfo> m_json;
    StationWriter m_writer;
    std::FILE* const m_terminal;  // for the progress block; null when there is none
    std::optional<cli::ProgressBlock> m_progress;
    std::atomic<std::size_t> m_next{0};
};

// Under /json a run that ends before any device still ends with a result object, as one device's
// run does.
int EndBeforeDevices(cli::JsonLinesSink* json, int failure, int code) {
    qel_event ending = qel::MakeEvent(QEL_EVENT_RESULT);
    ending.failure = failure;
    ending.code = code;
    ending.exit_status = qel_exit_status_of(failure);
    if (json != nullptr) {
        json->OnEvent(ending);
    }
    return ending.exit_status;
}

}  // namespace

int RunStation(const RunSettings& settings, const StationSettings& station,
               const DownloadServices& services, cli::OutputSinks& output) {
    qel::EventSink& sink = output.Sink();
    cli::JsonLinesSink* json = output.Json();
    std::vector<LogFile> logs;
    if (!station.logFolder.empty() &&
        !OpenLogFiles(station.logFolder, station.devices, logs, sink)) {
        return EndBeforeDevices(json, QEL_FAILURE_OPTIONS, 0);
    }
    qel::PreparedFirmware firmware;
    PreparationSink preparation(sink, logs);
    const qel::DownloadResult prepared =
        qel::PrepareFirmware(settings.filePath, firmware, preparation, services.loadImage);
    if (!prepared.Ok()) {
        return EndBeforeDevices(json, prepared.failure, prepared.code);
    }
    Station run(settings, station, services, firmware, output);
    const std::vector<DeviceOutcome> outcomes = run.Run(station.threads, std::move(logs));
    // The summary is the station's final word: /q prints it too.
    PrintSummary(outcomes,
                 output.Mode() == cli::OutputMode::kQuiet ? qel::DefaultEventSink() : sink);
    const int exitStatus = StationExitStatus(outcomes);
    if (json != nullptr) {
        json->Write(json->Begin("summary")
                        .Add("devices", static_cast<int>(outcomes.size()))
                        .Add("failed", FailedCount(outcomes))
                        .Add("exit_status", exitStatus));
    }
    return exitStatus;
}

}  // namespace orvane
