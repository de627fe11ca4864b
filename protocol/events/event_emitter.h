// How the library reports: each line becomes one event with the fields its caller names, its
// text formatted into a buffer on the stack, and the measures of its source, handed to the sink
// in one call. Internal to the library.
#pragma once

#include <cstdint>

#include "event_sink.h"

#if defined(__GNUC__)
#define QEL_PRINTF_FORMAT(formatAt, firstAt) __attribute__((format(printf, formatAt, firstAt)))
#else
#define QEL_PRINTF_FORMAT(formatAt, firstAt)
#endif

namespace qel {

// The fields of a line that its caller chooses, in the event record's order.
struct EventFields {
    std::int32_t kind = QEL_EVENT_INFO;
    std::int32_t phase = QEL_PHASE_NONE;
    std::int32_t code = 0;
    std::int32_t command = -1;
    std::uint32_t address = 0;
    std::int32_t attempt = 0;
};

// Milliseconds of a clock that never goes back, for the origin of elapsed times.
std::int64_t SteadyMilliseconds();

// A source of events: its sink (the default sink for null) and its measures, the time since
// originMs (none when negative) and the count of line characters that lineBytes points to.
class EventEmitter {
  public:
    static constexpr std::int64_t kNoOrigin = -1;

    explicit EventEmitter(EventSink* sink, std::int64_t originMs = kNoOrigin,
                          const std::uint64_t* lineBytes = nullptr);

    void Emit(const EventFields& fields, const char* format, ...) QEL_PRINTF_FORMAT(3, 4);
    // The text as it is, not as a format.
    void EmitText(const EventFields& fields, const char* text);
    // An event its caller built whole (progress, start, result); the measures are filled in.
    void Deliver(qel_event event);

    std::uint32_t ElapsedMs() const;
    EventSink& Sink() const { return m_sink; }

  private:
    EventSink& m_sink;
    std::int64_t m_originMs;
    const std::uint64_t* m_lineBytes;
};

}  // namespace qel
