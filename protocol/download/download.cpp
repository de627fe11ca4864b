// A download as a whole: the channel object, the prepared firmware, the socket library, the
// attempts, and one RESULT event at the end.
#include <algorithm>

#include "download_steps.h"
#include "protocol_binding.h"
#include "serial_channel.h"

namespace qel {
namespace {

// A device behind a serial line may have a small receive buffer while it writes flash.
int PagesInFlight(const DownloadChannel& channel, const DownloadSettings& settings) {
    if (dynamic_cast<SerialChannel*>(channel.channel) != nullptr) {
        return 1;
    }
    return std::clamp(settings.pagesInFlight, 1, kMostPagesInFlight);
}

DownloadResult NoChannel(EventEmitter& events) {
    events.Emit({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_OPEN},
                "\nERROR: Cannot create specified communication channel.");
    return Failed(QEL_FAILURE_SETUP, kOk);
}

// Reports how the download ended, as the last event; the result with its time.
DownloadResult Finish(DownloadSink& sink, const std::uint64_t* lineBytes, DownloadResult result,
                      int pages, const char* finalLine) {
    result.seconds = sink.Seconds();
    qel_event ending = MakeEvent(QEL_EVENT_RESULT);
    ending.code = result.code;
    ending.attempt = result.attempts;
    ending.pages_done = result.pagesWritten;
    ending.pages_total = pages;
    ending.text = finalLine;
    ending.ok = result.Ok() ? 1 : 0;
    ending.exit_status = result.exitStatus;
    ending.failure = result.failure;
    ending.pages_skipped = result.pagesSkipped;
    EventEmitter(&sink, EventEmitter::kNoOrigin, lineBytes).Deliver(ending);
    return result;
}

DownloadResult RunDownload(const PreparedFirmware& firmware, const DownloadChannel& channel,
                           const DownloadSettings& settings, DownloadSink& sink,
                           const std::atomic<bool>* cancel) {
    EventEmitter events(&sink);
    if (channel.channel == nullptr) {
        return Finish(sink, nullptr, NoChannel(events), firmware.Pages(), "");
    }
    QelProtocol protocol(channel.channel, settings.verifyMethod, settings.runMode, nullptr);
    protocol.SetEventSink(&sink);
    ProtocolBinding::SetCancelFlag(protocol, cancel);
    protocol.SetChannelOpenRecord(channel.openRecord);
    protocol.SetExchangeRetries(settings.exchangeRetries);
    protocol.SetLineTiming(channel.lineTiming);
    ProtocolBinding::SetPageSending(protocol, settings.skipEqualPages,
                                    PagesInFlight(channel, settings));
    const std::uint64_t* lineBytes = ProtocolBinding::LineBytes(protocol);
    if (!ProtocolBinding::InstallImage(protocol, firmware.applicationImage)) {
        events.Emit({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_PREPARE, .code = kErrNoImage},
                    "\nERROR: Cannot prepare data buffer.");
        return Finish(sink, lineBytes, Failed(QEL_FAILURE_FILE, kErrNoImage), 0, "");
    }
    if (channel.startSocketLibrary && !channel.startSocketLibrary()) {
        events.Emit({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_OPEN, .code = kErrSocketCreate},
                    "WSA DLL was not found. Exit");
        return Finish(sink, lineBytes, Failed(QEL_FAILURE_SETUP, kErrSocketCreate),
                      firmware.Pages(), "");
    }
    EventEmitter attemptEvents(&sink, EventEmitter::kNoOrigin, lineBytes);
    const AttemptsEnding ending = RunAttempts(protocol, channel, settings, attemptEvents, cancel);
    return Finish(sink, lineBytes, ending.result, firmware.Pages(), ending.finalLine);
}

}  // namespace

void DownloadSink::OnEvent(const qel_event& event) {
    qel_event measured = event;
    measured.elapsed_ms = static_cast<std::uint32_t>(SteadyMilliseconds() - m_originMs);
    m_sink.OnEvent(measured);
}

double DownloadSink::Seconds() const {
    return static_cast<double>(SteadyMilliseconds() - m_originMs) / 1000.0;
}

DownloadResult Failed(int failure, int code) {
    DownloadResult result;
    result.failure = failure;
    result.code = code;
    result.exitStatus = qel_exit_status_of(failure);
    return result;
}

DownloadResult Download(const PreparedFirmware& firmware, const DownloadChannel& channel,
                        const DownloadSettings& settings, EventSink& sink,
                        const std::atomic<bool>* cancel) {
    DownloadSink measured(sink);
    return RunDownload(firmware, channel, settings, measured, cancel);
}

DownloadResult DownloadFile(const std::string& path, const DownloadChannel& channel,
                            const DownloadSettings& settings, EventSink& sink,
                            const std::atomic<bool>* cancel, ImageLoader loader) {
    DownloadSink measured(sink);
    if (channel.channel == nullptr) {
        EventEmitter events(&measured);
        return Finish(measured, nullptr, NoChannel(events), 0, "");
    }
    PreparedFirmware firmware;
    const DownloadResult prepared = Prepare(path, firmware, measured, loader);
    if (!prepared.Ok()) {
        return Finish(measured, nullptr, prepared, 0, "");
    }
    return RunDownload(firmware, channel, settings, measured, cancel);
}

}  // namespace qel
