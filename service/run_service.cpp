#include "run_service.h"

#include "qel_protocol.h"
#include "service_commands.h"
#include "service_options.h"
#include "service_request.h"
#include "usage_text.h"

namespace service {
namespace {

constexpr int kVerifyCrc16 = 1;
constexpr int kRunAll = 1;

// Everything that can be refused without touching the device.
std::string CommandLineError(const ServiceOptions& options, ChannelValidation& channel,
                             RequestParse& request) {
    if (!options.unknown.empty()) {
        return "Unknown parameter [" + options.unknown.front() + "].";
    }
    channel = ValidateChannel(options);
    if (!channel.error.empty()) {
        return channel.error;
    }
    request = ParseRequest(options.command, options.operands);
    return request.error;
}

Outcome RunOverChannel(const ChannelSettings& settings, const ChannelFactory& factory,
                       const ServiceRequest& request, Report& report) {
    std::unique_ptr<ChannelHandle> handle = factory(settings);
    if (!handle) {
        return Outcome::Local("Cannot create specified communication channel.");
    }
    ICommChannel& channel = handle->Channel();
    const int opened = OpenChannel(channel, settings);
    if (opened != qel::kOk) {
        return Outcome::Device(opened, "Cannot open communication channel.");
    }
    QelProtocol protocol(&channel, kVerifyCrc16, kRunAll, nullptr);
    Outcome outcome = RunCommand(protocol, request, report);
    channel.Close();
    return outcome;
}

}  // namespace

int RunService(const std::vector<std::string>& arguments, const ChannelFactory& factory,
               Printer& printer) {
    const ServiceOptions options = ParseServiceOptions(arguments);
    if (options.help) {
        printer.Write(UsageText());
        return kExitOk;
    }
    Report report(printer, options.json);
    ChannelValidation channel;
    RequestParse request;
    const std::string error = CommandLineError(options, channel, request);
    if (!error.empty()) {
        return report.Finish(options.command, Outcome::Local(error));
    }
    const Outcome outcome = RunOverChannel(channel.settings, factory, request.request, report);
    return report.Finish(request.request.name, outcome);
}

int RunServiceMain(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    StdoutPrinter printer;
    return RunService(arguments, &MakeLibraryChannel, printer);
}

}  // namespace service
