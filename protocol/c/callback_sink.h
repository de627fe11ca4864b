// The sink behind a C caller's event callback: every event goes to the callback, or nowhere when
// there is none. Internal to the library.
#pragma once

#include "event_sink.h"
#include "qel.h"

namespace qel::c {

class CallbackSink final : public EventSink {
  public:
    CallbackSink() = default;
    CallbackSink(qel_event_callback callback, void* context)
        : m_callback(callback), m_context(context) {}

    void Set(qel_event_callback callback, void* context) {
        m_callback = callback;
        m_context = context;
    }

    void OnEvent(const qel_event& event) override {
        if (m_callback != nullptr) {
            m_callback(m_context, &event);
        }
    }

  private:
    qel_event_callback m_callback = nullptr;
    void* m_context = nullptr;
};

}  // namespace qel::c
