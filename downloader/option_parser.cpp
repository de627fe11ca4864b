#include "option_parser.h"

#include "channel_options.h"
#include "orvane_print.h"
#include "text_case.h"

namespace orvane {
namespace {

constexpr cli::OptionSpec kOptions[] = {
    cli::kChannelOption, cli::kAddressOption, cli::kPortOption, kFileOption,    kVerifyOption,
    kModeOption,         cli::kDeviceOption,  kListPortsOption, kRetriesOption,
};

void WarnUnknown(const std::string& argument) {
    Print("\nWARNING: Unknown parameter [%s]. Ignore it.", cli::ToUpperAscii(argument).c_str());
}

}  // namespace

cli::ParsedOptions ParseOptions(const std::vector<std::string>& arguments) {
    return cli::ParseOptions(kOptions, arguments, &WarnUnknown);
}

}  // namespace orvane
