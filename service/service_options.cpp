#include "service_options.h"

#include "channel_options.h"
#include "help_request.h"
#include "text_case.h"

namespace service {
namespace {

constexpr cli::OptionSpec kOptions[] = {
    cli::kChannelOption, cli::kAddressOption, cli::kPortOption,
    cli::kDeviceOption,  cli::kJsonOption,
};

// "/x=value", the form of an option, wherever it stands.
bool HasOptionForm(const std::string& argument) {
    return argument.size() >= 3 && argument[0] == '/' && argument[2] == '=';
}

void TakeOtherArgument(ServiceOptions& options, const std::string& argument) {
    if (cli::IsHelpRequest(argument)) {
        return;
    }
    if (HasOptionForm(argument) || (options.command.empty() && argument.starts_with('/'))) {
        options.unknown.push_back(argument);
    } else if (options.command.empty()) {
        options.command = cli::ToLowerAscii(argument);
    } else {
        // Operands keep their case and may start with '/': they are often absolute paths.
        options.operands.push_back(argument);
    }
}

}  // namespace

ServiceOptions ParseServiceOptions(const std::vector<std::string>& arguments) {
    ServiceOptions options;
    options.help = cli::WantsUsage(arguments);
    options.values = cli::ParseOptions(kOptions, arguments, [&options](const std::string& other) {
        TakeOtherArgument(options, other);
    });
    options.json = options.values.Given(cli::kJsonOption.name);
    return options;
}

}  // namespace service
