// The two sinks that the library provides.
#include <cstdio>

#include "event_sink.h"

namespace qel {
namespace {

class PrintingSink final : public EventSink {
  public:
    void OnEvent(const qel_event& event) override {
        if (event.text == nullptr || event.text[0] == '\0') {
            return;
        }
        std::fputs(event.text, stdout);
        std::fflush(stdout);
    }
};

class DroppingSink final : public EventSink {
  public:
    void OnEvent(const qel_event&) override {}
};

}  // namespace

EventSink& DefaultEventSink() {
    static PrintingSink sink;
    return sink;
}

EventSink& SilentEventSink() {
    static DroppingSink sink;
    return sink;
}

}  // namespace qel
