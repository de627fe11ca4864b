#include "quiet_sink.h"

namespace cli {

bool QuietSink::Prints(const qel_event& event) {
    return event.kind == QEL_EVENT_ERROR || event.kind == QEL_EVENT_RESULT;
}

void QuietSink::OnEvent(const qel_event& event) {
    if (!Prints(event)) {
        return;
    }
    const std::string_view text = event.text != nullptr ? event.text : "";
    if (event.kind == QEL_EVENT_RESULT) {
        // The final line ends the output, so that a shell's prompt starts on a line of its own.
        m_writer.WriteLine(text);
    } else {
        m_writer.Write(text);
    }
}

}  // namespace cli
