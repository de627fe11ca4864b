// The attempts of one download: open the channel, run the upgrade, close and pause after a
// failure, again, until one succeeds, the device holds a wrong image, or the attempts run out.
#include "cancellable_sleep.h"
#include "download_steps.h"
#include "protocol_binding.h"

namespace qel {
namespace {

constexpr const char* kDownloaded = "\nFile downloaded successfully.";
constexpr const char* kDownloadFailed = "\nERROR: Cannot download firmware to remote device.";
constexpr EventFields kOpenLine{.phase = QEL_PHASE_OPEN};

enum class Outcome { kSucceeded, kImageWrong, kRetry, kCancelled };

bool IsSet(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load();
}

// Opens the channel for an attempt; 0 or the channel's failure code.
int OpenForAttempt(const DownloadChannel& channel, int attempt, EventEmitter& events) {
    events.Emit({.kind = QEL_EVENT_ATTEMPT, .phase = QEL_PHASE_OPEN, .attempt = attempt},
                "\nOpen communication channel (attempt #%d)...", attempt);
    events.Emit(kOpenLine, "%s", channel.connectingLine.c_str());
    const int result = channel.channel->Open(channel.openRecord);
    qel_event opened = MakeEvent(QEL_EVENT_OPEN);
    opened.phase = QEL_PHASE_OPEN;
    opened.code = result;
    opened.attempt = attempt;
    events.Deliver(opened);
    if (result != kOk) {
        events.Emit({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_OPEN, .code = result},
                    "\nERROR: Cannot open communication channel. ec=%d", result);
    } else {
        events.Emit(kOpenLine, "\nDone.");
    }
    return result;
}

// One transmission over the open channel; *code is the upgrade's result.
Outcome Transmit(ICommChannel& channel, QelProtocol& protocol, int transmission,
                 EventEmitter& events, int* code) {
    events.Emit({.attempt = transmission}, "\nTransmitte Data. Attempt #%d.", transmission);
    protocol.ResetUpgrade();
    *code = protocol.Execute();
    if (*code == kOk) {
        return Outcome::kSucceeded;
    }
    channel.Close();
    const EventFields failure{.kind = QEL_EVENT_ERROR, .code = *code};
    if (*code == kErrCancelled) {
        return Outcome::kCancelled;
    }
    // A wrong image stays wrong however often it is sent again.
    if (*code == kErrImageCrcMismatch) {
        events.Emit(failure, "\nERROR: CRC16 of uploaded Application Image is incorrect.");
        return Outcome::kImageWrong;
    }
    if (*code == kErrImageCorrupted) {
        events.Emit(failure, "\nERROR: Uploaded Application Image is corrupted.");
        return Outcome::kImageWrong;
    }
    events.Emit({.kind = QEL_EVENT_WARNING, .code = *code}, "\nWARNING: Sending data failed. ec=%d",
                *code);
    return Outcome::kRetry;
}

DownloadResult ResultOf(Outcome outcome, int code, bool everOpened) {
    switch (outcome) {
        case Outcome::kSucceeded:
            return {};
        case Outcome::kImageWrong:
            return Failed(QEL_FAILURE_WRONG_IMAGE, code);
        case Outcome::kCancelled:
            return Failed(QEL_FAILURE_CANCELLED, kErrCancelled);
        default:
            return Failed(everOpened ? QEL_FAILURE_EXCHANGE : QEL_FAILURE_UNREACHABLE, code);
    }
}

}  // namespace

int MaxAttemptsOf(const DownloadSettings& settings) {
    if (settings.maxAttempts > 0) {
        return settings.maxAttempts;
    }
    // Blind mode: until the device confirms.
    return settings.runMode == kRunModeBlind ? 0x7FFFFFFF : kDefaultMaxAttempts;
}

AttemptsEnding RunAttempts(QelProtocol& protocol, const DownloadChannel& channel,
                           const DownloadSettings& settings, EventEmitter& events,
                           const std::atomic<bool>* cancel) {
    const int maxAttempts = MaxAttemptsOf(settings);
    // The default pauses after every failed attempt, the last one too, as it always has.
    const bool pausesAfterLast = settings.maxAttempts <= 0;
    Outcome outcome = Outcome::kRetry;
    int code = kOk;
    int attempt = 0;
    int transmissions = 0;
    bool everOpened = false;
    while (outcome == Outcome::kRetry && attempt < maxAttempts) {
        if (IsSet(cancel)) {
            outcome = Outcome::kCancelled;
            break;
        }
        code = OpenForAttempt(channel, ++attempt, events);
        if (code == kOk) {
            everOpened = true;
            outcome = Transmit(*channel.channel, protocol, ++transmissions, events, &code);
        }
        if (outcome == Outcome::kRetry && (pausesAfterLast || attempt < maxAttempts)) {
            SleepUnlessCancelled(settings.pauseMs, cancel);
        }
    }
    channel.channel->Close();
    DownloadResult result = ResultOf(outcome, code, everOpened);
    result.attempts = attempt;
    result.pagesWritten = ProtocolBinding::PagesWritten(protocol);
    result.pagesSkipped = ProtocolBinding::PagesSkipped(protocol);
    return {result, result.Ok() ? kDownloaded : kDownloadFailed};
}

}  // namespace qel
