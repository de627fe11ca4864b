// Where a caller wants the library's events: a sink it derives and hands to a QelProtocol object,
// a serial channel, a file load or a download. The default sink prints each event's text exactly
// as the programs always have; the silent sink drops everything.
#pragma once

#include "qel_event.h"
#include "qel_export.h"

namespace qel {

class EventSink {
  public:
    // Called on the thread that does the work, once per event, in order. The event and its text
    // are valid only during the call.
    virtual void OnEvent(const qel_event& event) = 0;

  protected:
    ~EventSink() = default;
};

// Prints the text to standard output and flushes it, so that an operator sees each line while
// the next step waits; prints nothing for an event without text. Safe from several threads.
QEL_API EventSink& DefaultEventSink();
QEL_API EventSink& SilentEventSink();

// An event of the kind with no fields set: no phase, code, command, address or text.
inline qel_event MakeEvent(int kind) {
    qel_event event{};
    event.kind = kind;
    event.phase = QEL_PHASE_NONE;
    event.command = -1;
    event.text = "";
    return event;
}

}  // namespace qel
