#include "option_parser.h"

#include "channel_options.h"
#include "orvane_print.h"
#include "output_mode.h"
#include "station_options.h"
#include "text_case.h"

namespace orvane {
namespace {

constexpr cli::OptionSpec kOptions[] = {
    cli::kChannelOption, cli::kAddressOption, cli::kPortOption,  kFileOption,     kVerifyOption,
    kModeOption,         cli::kDeviceOption,  kListPortsOption,  kRetriesOption,  kSkipEqualOption,
    kWindowOption,       cli::kJsonOption,    cli::kQuietOption, kAttemptsOption, kPauseOption,
    kThreadsOption,      kLogOption,
};

}  // namespace

cli::ParsedOptions ParseOptions(const std::vector<std::string>& arguments, qel::EventSink& sink) {
    return cli::ParseOptions(kOptions, arguments, [&sink](const std::string& argument) {
        Print(sink, QEL_EVENT_WARNING, "\nWARNING: Unknown parameter [%s]. Ignore it.",
              cli::ToUpperAscii(argument).c_str());
    });
}

}  // namespace orvane
