#include "attempt_loop.h"

#include "exit_status.h"
#include "orvane_print.h"
#include "qel_codes.h"
#include "qel_sleep.h"

namespace orvane {
namespace {

constexpr const char* kDownloadFailed = "\nERROR: Cannot download firmware to remote device.";

enum class Outcome { kSucceeded, kImageWrong, kRetry };

void PrintConnecting(const RunSettings& settings) {
    const cli::ChannelSettings& channel = settings.channel;
    if (channel.kind == cli::ChannelKind::kTcp) {
        Print("\nConnecting %s:%d...", channel.address.c_str(), channel.port);
    } else {
        Print("\nConnecting COM%d ...", channel.port);
    }
}

// One transmission over the open channel.
Outcome Transmit(ICommChannel& channel, QelProtocol& protocol, int transmission) {
    Print("\nDone.");
    Print("\nTransmitte Data. Attempt #%d.", transmission);
    protocol.ResetUpgrade();
    const int result = protocol.Execute();
    if (result == qel::kOk) {
        return Outcome::kSucceeded;
    }
    channel.Close();
    // A wrong image stays wrong however often it is sent again.
    if (result == qel::kErrImageCrcMismatch) {
        Print("\nERROR: CRC16 of uploaded Application Image is incorrect.");
        return Outcome::kImageWrong;
    }
    if (result == qel::kErrImageCorrupted) {
        Print("\nERROR: Uploaded Application Image is corrupted.");
        return Outcome::kImageWrong;
    }
    Print("\nWARNING: Sending data failed. ec=%d", result);
    qel::Sleep(kPauseAfterFailureMs);
    return Outcome::kRetry;
}

}  // namespace

int MaxAttempts(int runMode) {
    return runMode == kRunModeBlind ? kMaxBlindAttempts : kMaxAttempts;
}

int RunAttempts(const RunSettings& settings, ICommChannel& channel, QelProtocol& protocol,
                void* openParams) {
    const int maxAttempts = MaxAttempts(settings.runMode);
    int transmissions = 0;
    Outcome outcome = Outcome::kRetry;
    for (int attempt = 1; outcome == Outcome::kRetry; ++attempt) {
        Print("\nOpen communication channel (attempt #%d)...", attempt);
        PrintConnecting(settings);
        const int openResult = channel.Open(openParams);
        if (openResult != 0) {
            Print("\nERROR: Cannot open communication channel. ec=%d", openResult);
            qel::Sleep(kPauseAfterFailureMs);
        } else {
            outcome = Transmit(channel, protocol, ++transmissions);
        }
        if (attempt >= maxAttempts) {
            break;
        }
    }
    const bool succeeded = outcome == Outcome::kSucceeded;
    Print("%s", succeeded ? "\nFile downloaded successfully." : kDownloadFailed);
    channel.Close();
    return succeeded ? kExitSuccess : kExitDownloadFailed;
}

}  // namespace orvane
