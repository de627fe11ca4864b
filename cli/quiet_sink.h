// /q: of the default output only the errors and the final line, as the default sink prints them.
#pragma once

#include "event_sink.h"
#include "line_writer.h"

namespace cli {

class QuietSink final : public qel::EventSink {
  public:
    explicit QuietSink(LineWriter& writer) : m_writer(writer) {}

    void OnEvent(const qel_event& event) override;

    // Whether the sink prints anything for the event.
    static bool Prints(const qel_event& event);

  private:
    LineWriter& m_writer;
};

}  // namespace cli
