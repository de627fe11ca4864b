#include "option_validation.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "option_parser.h"
#include "orvane_print.h"
#include "text_case.h"

namespace orvane {
namespace {

constexpr int kMostRetries = 10;
constexpr int kMostAttempts = 100;
constexpr int kLongestPauseSeconds = 60;
constexpr unsigned long kMillisecondsPerSecond = 1000;

// /r=, /a= and /t=, when given; the refusal of the first that is out of its range.
std::optional<cli::OptionRefusal> TakeAttemptOptions(const cli::ParsedOptions& options,
                                                     RunSettings& settings) {
    if (options.Given(kRetriesOption.name)) {
        const auto retries = NumberInRange(options.Value(kRetriesOption.name), 0, kMostRetries);
        if (!retries) {
            return cli::OptionRefusal{"Retries (/r) must be a number from 0 to 10.", true};
        }
        settings.exchangeRetries = *retries;
    }
    if (options.Given(kAttemptsOption.name)) {
        const auto attempts = NumberInRange(options.Value(kAttemptsOption.name), 1, kMostAttempts);
        if (!attempts) {
            return cli::OptionRefusal{"Attempts value is incorrect. It must be in range [1..100]."};
        }
        settings.maxAttempts = *attempts;
    }
    if (options.Given(kPauseOption.name)) {
        const auto pause = NumberInRange(options.Value(kPauseOption.name), 0, kLongestPauseSeconds);
        if (!pause) {
            return cli::OptionRefusal{
                "Pause value is incorrect. It must be in range [0..60] seconds."};
        }
        settings.pauseMs = static_cast<unsigned long>(*pause) * kMillisecondsPerSecond;
    }
    return std::nullopt;
}

// /s and /w=N; the refusal of /w when it is out of its range or the channel cannot take it.
std::optional<cli::OptionRefusal> TakePageSending(const cli::ParsedOptions& options,
                                                  RunSettings& settings) {
    if (options.Given(kWindowOption.name)) {
        const auto window =
            NumberInRange(options.Value(kWindowOption.name), 1, qel::kMostPagesInFlight);
        if (!window) {
            return cli::OptionRefusal{"Pages in flight /w=N must be a number from 1 to 16.", true};
        }
        if (*window > 1 && settings.channel.kind != cli::ChannelKind::kTcp) {
            return cli::OptionRefusal{
                "/w=N above 1 needs /c=tcp: a serial device reads one request at a time."};
        }
        settings.pagesInFlight = *window;
    }
    settings.skipEqualPages = options.Given(kSkipEqualOption.name);
    return std::nullopt;
}

}  // namespace

// One event for both lines, so that a script reading the errors gets the hint with its error.
void PrintRefusal(const cli::OptionRefusal& refusal, qel::EventSink& sink) {
    Print(
        sink, QEL_EVENT_ERROR, "\nERROR: %s%s", refusal.message.c_str(),
        refusal.pointsToUsage ? "\nRun software without parameters to see usage information." : "");
}

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

std::optional<int> NumberInRange(const std::string& text, int lowest, int highest) {
    constexpr std::size_t kMostDigits = 3;
    const bool digits = !text.empty() && text.size() <= kMostDigits &&
                        std::all_of(text.begin(), text.end(), [](char character) {
                            return std::isdigit(static_cast<unsigned char>(character)) != 0;
                        });
    if (!digits) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    return value >= lowest && value <= highest ? std::optional<int>(value) : std::nullopt;
}

bool ValidateFilePath(const cli::ParsedOptions& options, qel::EventSink& sink) {
    if (options.Value(kFileOption.name).empty()) {
        PrintRefusal({"File path to HEX file is required.", true}, sink);
        return false;
    }
    return true;
}

bool SelectDownload(const cli::ParsedOptions& options, RunSettings& settings,
                    qel::EventSink& sink) {
    if (const auto refusal = TakeAttemptOptions(options, settings)) {
        PrintRefusal(*refusal, sink);
        return false;
    }
    settings.filePath = options.Value(kFileOption.name);
    settings.verifyMethod = SelectVerifyMethod(options.Value(kVerifyOption.name));
    settings.runMode = SelectRunMode(options.Value(kModeOption.name));
    if (const auto refusal = TakePageSending(options, settings)) {
        PrintRefusal(*refusal, sink);
        return false;
    }
    if (settings.runMode == kRunModeBlind) {
        Print(sink, QEL_EVENT_INFO, "\n*** Run BLIND MODE ***");
    }
    return true;
}

bool ValidateOptions(const cli::ParsedOptions& options, RunSettings& settings,
                     qel::EventSink& sink) {
    if (!ValidateFilePath(options, sink)) {
        return false;
    }
    const cli::ChannelValidation channel = cli::ValidateChannel(options);
    if (channel.refusal) {
        PrintRefusal(*channel.refusal, sink);
        return false;
    }
    settings.channel = channel.settings;
    return SelectDownload(options, settings, sink);
}

}  // namespace orvane
