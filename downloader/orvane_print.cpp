#include "orvane_print.h"

#include "text_format.h"

namespace orvane {

void Print(qel::EventSink& sink, int kind, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const std::string text = cli::FormatList(format, arguments);
    va_end(arguments);
    qel_event event = qel::MakeEvent(kind);
    event.text = text.c_str();
    sink.OnEvent(event);
}

}  // namespace orvane
