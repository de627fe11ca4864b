#include "station_options.h"

#include <optional>
#include <set>

#include "option_validation.h"
#include "text_case.h"

namespace orvane {
namespace {

using cli::ChannelKind;
using cli::OptionRefusal;

// The entries of /i= (TCP) or /d= (serial); one empty entry when none is given, so that the
// channel's own checks name what is missing (or that COM N is meant).
std::vector<std::string> DeviceEntries(const cli::ParsedOptions& options, ChannelKind kind) {
    const cli::OptionSpec& option =
        kind == ChannelKind::kTcp ? cli::kAddressOption : cli::kDeviceOption;
    const std::vector<std::string>& entries = options.Values(option.name);
    return entries.empty() ? std::vector<std::string>{""} : entries;
}

// One device's channel options: "ADDR" or "ADDR:PORT" for TCP, the port falling back to /p=; a
// device path with /p= for serial.
cli::ParsedOptions DeviceOptions(const cli::ParsedOptions& options, ChannelKind kind,
                                 const std::string& entry) {
    cli::ParsedOptions device;
    device.Add(cli::kChannelOption.name, options.Value(cli::kChannelOption.name));
    std::string port = options.Value(cli::kPortOption.name);
    if (kind == ChannelKind::kTcp) {
        const std::size_t colon = entry.rfind(':');
        device.Add(cli::kAddressOption.name, entry.substr(0, colon));
        if (colon != std::string::npos) {
            port = entry.substr(colon + 1);
        }
    } else if (!entry.empty()) {
        device.Add(cli::kDeviceOption.name, entry);
    }
    device.Add(cli::kPortOption.name, port);
    return device;
}

std::string NameOf(const cli::ChannelSettings& channel) {
    if (channel.kind == ChannelKind::kTcp) {
        return channel.address + ":" + std::to_string(channel.port);
    }
    return channel.device.empty() ? "COM" + std::to_string(channel.port) : channel.device;
}

std::optional<OptionRefusal> CheckDevices(const cli::ParsedOptions& options, ChannelKind kind,
                                          StationSettings& station) {
    const bool mixed = options.Given(kind == ChannelKind::kTcp ? cli::kDeviceOption.name
                                                               : cli::kAddressOption.name);
    if (mixed) {
        return OptionRefusal{
            "Devices of one run must be all TCP (/c=tcp with /i=) or all serial (/c=com with "
            "/d=)."};
    }
    std::set<std::string> names;
    for (const std::string& entry : DeviceEntries(options, kind)) {
        const cli::ChannelValidation device =
            cli::ValidateChannel(DeviceOptions(options, kind, entry));
        if (device.refusal) {
            OptionRefusal refusal = *device.refusal;
            if (!entry.empty()) {
                refusal.message = "Device [" + entry + "]: " + refusal.message;
            }
            return refusal;
        }
        const std::string name = NameOf(device.settings);
        if (!names.insert(name).second) {
            return OptionRefusal{"Device [" + name + "] is given more than once."};
        }
        station.devices.push_back({name, device.settings});
    }
    return std::nullopt;
}

std::optional<OptionRefusal> CheckThreads(const cli::ParsedOptions& options, int& threads) {
    if (!options.Given(kThreadsOption.name)) {
        return std::nullopt;
    }
    const std::optional<int> given =
        NumberInRange(options.Value(kThreadsOption.name), 1, kMostStationThreads);
    if (!given) {
        return OptionRefusal{"Thread count is incorrect. It must be in range [1..64]."};
    }
    threads = *given;
    return std::nullopt;
}

std::optional<OptionRefusal> CheckStation(const cli::ParsedOptions& options,
                                          StationSettings& station) {
    const std::string& channel = options.Value(cli::kChannelOption.name);
    const bool tcp = cli::EqualsIgnoringCase(channel, "tcp");
    if (!tcp && !cli::EqualsIgnoringCase(channel, "com")) {
        // The channel's own checks, in their order, end with the unknown channel.
        return cli::ValidateChannel(options).refusal;
    }
    std::optional<OptionRefusal> refusal =
        CheckDevices(options, tcp ? ChannelKind::kTcp : ChannelKind::kSerial, station);
    if (!refusal) {
        refusal = CheckThreads(options, station.threads);
    }
    station.logFolder = options.Value(kLogOption.name);
    if (!refusal && options.Given(kLogOption.name) && station.logFolder.empty()) {
        refusal = OptionRefusal{"Log folder was not set."};
    }
    return refusal;
}

}  // namespace

bool IsStationRun(const cli::ParsedOptions& options) {
    return options.Values(cli::kAddressOption.name).size() > 1 ||
           options.Values(cli::kDeviceOption.name).size() > 1 ||
           options.Given(kThreadsOption.name) || options.Given(kLogOption.name);
}

bool ValidateStation(const cli::ParsedOptions& options, RunSettings& settings,
                     StationSettings& station, qel::EventSink& sink) {
    if (!ValidateFilePath(options, sink)) {
        return false;
    }
    const std::optional<OptionRefusal> refusal = CheckStation(options, station);
    if (refusal) {
        PrintRefusal(*refusal, sink);
        return false;
    }
    settings.channel = station.devices.front().channel;
    return SelectDownload(options, settings, sink);
}

}  // namespace orvane
