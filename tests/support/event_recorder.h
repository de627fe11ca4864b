// A sink that keeps every event it receives, with a copy of its text, and hands it on to another
// sink when it is given one (the default sink, to see the printed lines as well).
#pragma once

#include <string>
#include <vector>

#include "event_sink.h"

class EventRecorder : public qel::EventSink {
  public:
    struct Recorded {
        qel_event event;  // its text pointer is not kept
        std::string text;
    };

    explicit EventRecorder(qel::EventSink* next = nullptr) : m_next(next) {}

    void OnEvent(const qel_event& event) override {
        m_events.push_back({event, event.text != nullptr ? event.text : ""});
        m_events.back().event.text = nullptr;
        if (m_next != nullptr) {
            m_next->OnEvent(event);
        }
    }

    const std::vector<Recorded>& Events() const { return m_events; }
    std::vector<Recorded> OfKind(int kind) const {
        std::vector<Recorded> found;
        for (const Recorded& recorded : m_events) {
            if (recorded.event.kind == kind) {
                found.push_back(recorded);
            }
        }
        return found;
    }
    // The texts one after the other: what the default sink would have printed.
    std::string Text() const {
        std::string text;
        for (const Recorded& recorded : m_events) {
            text += recorded.text;
        }
        return text;
    }

  private:
    qel::EventSink* m_next;
    std::vector<Recorded> m_events;
};
