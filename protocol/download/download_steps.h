// The parts of a download that its files share. Internal to the library.
#pragma once

#include <cstdint>
#include <string>

#include "event_emitter.h"
#include "qel_download.h"
#include "qel_protocol.h"

namespace qel {

// The caller's sink as one download sees it: every event that passes gets the time since the
// download began, whichever part of the library it comes from.
class DownloadSink final : public EventSink {
  public:
    explicit DownloadSink(EventSink& sink) : m_sink(sink), m_originMs(SteadyMilliseconds()) {}
    void OnEvent(const qel_event& event) override;
    double Seconds() const;

  private:
    EventSink& m_sink;
    std::int64_t m_originMs;
};

// A download that ended with failure, and the exit status that this failure gives.
DownloadResult Failed(int failure, int code);

// PrepareFirmware's work on a download's sink.
DownloadResult Prepare(const std::string& path, PreparedFirmware& firmware, DownloadSink& sink,
                       ImageLoader loader);

// How the attempts ended, and the final message for the operator.
struct AttemptsEnding {
    DownloadResult result;
    const char* finalLine;
};

// Attempts over the channel with protocol until one succeeds, the image is found wrong, the
// attempts run out or cancel is set. Closes the channel at the end.
AttemptsEnding RunAttempts(QelProtocol& protocol, const DownloadChannel& channel,
                           const DownloadSettings& settings, EventEmitter& events,
                           const std::atomic<bool>* cancel);

}  // namespace qel
