#include "option_validation.h"

#include <string>

#include "option_parser.h"
#include "orvane_print.h"
#include "text_case.h"

namespace orvane {
namespace {

void PrintRefusal(const cli::OptionRefusal& refusal) {
    Print("\nERROR: %s", refusal.message.c_str());
    if (refusal.pointsToUsage) {
        Print("\nRun software without parameters to see usage information.");
    }
}

constexpr int kMostRetries = 10;

// The /r= value: 0 when not given, -1 when it is not a whole number from 0 to kMostRetries.
int RetriesOf(const cli::ParsedOptions& options) {
    if (!options.Given(kRetriesOption.name)) {
        return 0;
    }
    const std::string& text = options.Value(kRetriesOption.name);
    if (text.empty() || text.size() > 2 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return -1;
    }
    const int retries = std::stoi(text);
    return retries <= kMostRetries ? retries : -1;
}

}  // namespace

int SelectVerifyMethod(const std::string& text) {
    return cli::EqualsIgnoringCase(text, "full") ? kVerifyMethodFull : kVerifyMethodCrc16;
}

int SelectRunMode(const std::string& text) {
    switch (text.empty() ? '\0' : text.front()) {
        case 'P':
        case 'p':
            return kRunModeWriteOnly;
        case 'V':
        case 'v':
            return kRunModeVerifyOnly;
        case 'R':
        case 'r':
            return kRunModeResetOnly;
        case 'B':
        case 'b':
            return kRunModeBlind;
        default:
            return kRunModeAll;
    }
}

bool ValidateOptions(const cli::ParsedOptions& options, RunSettings& settings) {
    if (options.Value(kFileOption.name).empty()) {
        PrintRefusal({"File path to HEX file is required.", true});
        return false;
    }
    const cli::ChannelValidation channel = cli::ValidateChannel(options);
    if (channel.refusal) {
        PrintRefusal(*channel.refusal);
        return false;
    }
    const int retries = RetriesOf(options);
    if (retries < 0) {
        PrintRefusal({"Retries (/r) must be a number from 0 to 10.", true});
        return false;
    }
    settings.exchangeRetries = retries;
    settings.channel = channel.settings;
    settings.filePath = options.Value(kFileOption.name);
    settings.verifyMethod = SelectVerifyMethod(options.Value(kVerifyOption.name));
    settings.runMode = SelectRunMode(options.Value(kModeOption.name));
    if (settings.runMode == kRunModeBlind) {
        Print("\n*** Run BLIND MODE ***");
    }
    return true;
}

}  // namespace orvane
