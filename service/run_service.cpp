#include "run_service.h"

#include "channel_opening.h"
#include "channel_options.h"
#include "platform.h"
#include "qel_protocol.h"
#include "service_commands.h"
#include "service_options.h"
#include "service_request.h"
#include "usage_text.h"

namespace service {
namespace {

// Everything that can be refused without touching the device.
std::string CommandLineError(const ServiceOptions& options, cli::ChannelValidation& channel,
                             RequestParse& request) {
    if (!options.unknown.empty()) {
        return "Unknown parameter [" + options.unknown.front() + "].";
    }
    channel = cli::ValidateChannel(options.values);
    if (channel.refusal) {
        return channel.refusal->message;
    }
    request = ParseRequest(options.command, options.operands);
    return request.error;
}

// Starts the socket library where needed and opens the channel; 0 or the failure code.
int OpenChannel(ICommChannel& channel, const cli::ChannelSettings& settings) {
    if (!cli::StartSocketLibrary(settings.kind, cli::SystemSocketLibraryStarter())) {
        return qel::kErrSocketCreate;  // no socket can be made without the library
    }
    cli::OpenParams params(settings);
    return channel.Open(params.Record());
}

Outcome RunOverChannel(const cli::ChannelSettings& settings, const cli::ChannelFactory& factory,
                       const ServiceRequest& request, Report& report) {
    const cli::OwnedChannel channel = factory(settings);
    if (!channel) {
        return Outcome::Local("Cannot create specified communication channel.");
    }
    const int opened = OpenChannel(*channel, settings);
    if (opened != qel::kOk) {
        return Outcome::Device(opened, "Cannot open communication channel.");
    }
    QelProtocol protocol(channel.get(), qel::kVerifyMethodCrc16, qel::kRunModeAll, nullptr);
    Outcome outcome = RunCommand(protocol, request, report);
    channel->Close();
    return outcome;
}

}  // namespace

int RunService(const std::vector<std::string>& arguments, const cli::ChannelFactory& factory,
               Printer& printer) {
    const ServiceOptions options = ParseServiceOptions(arguments);
    if (options.help) {
        printer.Write(UsageText());
        return kExitOk;
    }
    Report report(printer, options.json);
    cli::ChannelValidation channel;
    RequestParse request;
    const std::string error = CommandLineError(options, channel, request);
    if (!error.empty()) {
        return report.Finish(options.command, Outcome::Local(error));
    }
    const Outcome outcome = RunOverChannel(channel.settings, factory, request.request, report);
    return report.Finish(request.request.name, outcome);
}

int RunServiceMain(int argc, const char* const* argv) {
    // A reader of the output that goes away must not stop a write to the device half way.
    platform::IgnoreBrokenPipe();
    StdoutPrinter printer;
    return RunService(cli::ArgumentList(argc, argv), &cli::MakeLibraryChannel, printer);
}

}  // namespace service
