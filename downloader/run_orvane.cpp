#include "run_orvane.h"

#include "download_driver.h"
#include "exit_status.h"
#include "option_parser.h"
#include "option_validation.h"
#include "usage_text.h"

namespace orvane {
namespace {

bool AsksForHelp(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (IsHelpRequest(argv[i])) {
            return true;
        }
    }
    return false;
}

}  // namespace

int RunOrvane(int argc, const char* const* argv, const DownloadServices& services) {
    PrintBanner();
    if (argc < 2 || AsksForHelp(argc, argv)) {
        PrintUsage();
        return kExitSuccess;
    }
    RunSettings settings;
    if (!ValidateOptions(ParseOptions(argc, argv), settings)) {
        return kExitFailedBeforeRun;
    }
    return RunDownload(settings, services);
}

}  // namespace orvane

int RunOrvane(int argc, char** argv) {
    return orvane::RunOrvane(argc, argv, orvane::RealServices());
}
