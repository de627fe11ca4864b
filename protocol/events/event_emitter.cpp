#include "event_emitter.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace qel {
namespace {

// Long enough for every line of the library but those that quote a long path.
constexpr std::size_t kTextBuffer = 1024;

qel_event EventOf(const EventFields& fields, const char* text) {
    qel_event event = MakeEvent(fields.kind);
    event.phase = fields.phase;
    event.code = fields.code;
    event.command = fields.command;
    event.address = fields.address;
    event.attempt = fields.attempt;
    event.text = text;
    return event;
}

}  // namespace

std::int64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

EventEmitter::EventEmitter(EventSink* sink, std::int64_t originMs, const std::uint64_t* lineBytes)
    : m_sink(sink != nullptr ? *sink : DefaultEventSink()),
      m_originMs(originMs),
      m_lineBytes(lineBytes) {}

void EventEmitter::Emit(const EventFields& fields, const char* format, ...) {
    char text[kTextBuffer];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length < 0 || static_cast<std::size_t>(length) < sizeof text) {
        EmitText(fields, length < 0 ? "" : text);
        return;
    }
    // Rare: the text of the line is longer than the buffer, and it is printed whole all the same.
    std::string whole(static_cast<std::size_t>(length), '\0');
    va_start(arguments, format);
    std::vsnprintf(whole.data(), whole.size() + 1, format, arguments);
    va_end(arguments);
    EmitText(fields, whole.c_str());
}

void EventEmitter::EmitText(const EventFields& fields, const char* text) {
    Deliver(EventOf(fields, text));
}

void EventEmitter::Deliver(qel_event event) {
    event.elapsed_ms = ElapsedMs();
    event.line_bytes = m_lineBytes != nullptr ? *m_lineBytes : 0;
    m_sink.OnEvent(event);
}

std::uint32_t EventEmitter::ElapsedMs() const {
    if (m_originMs < 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(SteadyMilliseconds() - m_originMs);
}

}  // namespace qel
