#include "run_orvane.h"

#include "download_driver.h"
#include "help_request.h"
#include "option_parser.h"
#include "option_validation.h"
#include "platform.h"
#include "port_list.h"
#include "usage_text.h"

namespace orvane {

int RunOrvane(int argc, const char* const* argv, const DownloadServices& services) {
    PrintBanner();
    const std::vector<std::string> arguments = cli::ArgumentList(argc, argv);
    if (cli::WantsUsage(arguments)) {
        PrintUsage();
        return QEL_EXIT_SUCCESS;
    }
    const cli::ParsedOptions options = ParseOptions(arguments);
    if (options.Given(kListPortsOption.name)) {
        PrintPortList(services.listPorts());
        return QEL_EXIT_SUCCESS;
    }
    RunSettings settings;
    if (!ValidateOptions(options, settings)) {
        return QEL_EXIT_BEFORE_RUN;
    }
    return RunDownload(settings, services);
}

}  // namespace orvane

int RunOrvane(int argc, char** argv) {
    // A reader of the output that goes away must not stop a download half way.
    platform::IgnoreBrokenPipe();
    return orvane::RunOrvane(argc, argv, orvane::RealServices());
}
