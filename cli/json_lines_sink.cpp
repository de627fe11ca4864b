#include "json_lines_sink.h"

#include "progress_line.h"
#include "qel_codes.h"

namespace cli {
namespace {

// The line's words without the line breaks around them and without the "ERROR: " or
// "WARNING: " that the object's event name says already.
std::string_view MessageOf(const char* text) {
    std::string_view message = text != nullptr ? text : "";
    const auto first = message.find_first_not_of(" \r\n");
    message.remove_prefix(first == std::string_view::npos ? message.size() : first);
    message = message.substr(0, message.find_last_not_of(" \r\n") + 1);
    for (std::string_view prefix : {"ERROR: ", "WARNING: "}) {
        if (message.starts_with(prefix)) {
            message.remove_prefix(prefix.size());
        }
    }
    return message;
}

double SecondsOf(const qel_event& event) {
    return event.elapsed_ms / 1000.0;
}

void AddCode(JsonObject& object, int code) {
    object.Add("code", code);
    if (code != 0) {
        object.Add("meaning", qel::ResultCodeText(code));
    }
}

// The result object's fields of a RESULT event. A failure without a result code (a refused
// command line, no channel object) takes its meaning from the error that reported it.
void AddResultFields(JsonObject& object, const qel_event& event, std::string_view lastError) {
    const bool coded = event.ok != 0 || event.code != 0;
    object.Add("ok", event.ok != 0)
        .Add("code", event.code)
        .Add("meaning", coded ? std::string_view(qel::ResultCodeText(event.code)) : lastError)
        .Add("exit_status", event.exit_status)
        .Add("failure", qel_failure_name(event.failure))
        .AddFixed("seconds", SecondsOf(event))
        .Add("attempts", event.attempt)
        .Add("pages_written", event.pages_done)
        .Add("pages_skipped", event.pages_skipped);
}

}  // namespace

JsonLinesSink::JsonLinesSink(LineWriter& writer, JsonRunInfo run, std::string device)
    : m_writer(writer), m_run(std::move(run)), m_device(std::move(device)) {}

JsonObject JsonLinesSink::Begin(std::string_view event) const {
    JsonObject object;
    object.Add("event", event);
    if (!m_device.empty()) {
        object.Add("device", m_device);
    }
    return object;
}

void JsonLinesSink::OnEvent(const qel_event& event) {
    switch (event.kind) {
        case QEL_EVENT_START:
            Write(Begin("start")
                      .Add("program", m_run.program)
                      .Add("version", m_run.version)
                      .Add("file", m_run.file)
                      .Add("first", event.address)
                      .Add("end", event.end_address)
                      .Add("pages", event.pages_total));
            break;
        case QEL_EVENT_ATTEMPT:
            // A download's attempt (the upgrade's own transmissions are not counted apart); each
            // goes through its phases anew.
            if (event.phase == QEL_PHASE_OPEN) {
                m_phase = QEL_PHASE_NONE;
                Write(Begin("attempt").Add("attempt", event.attempt));
            }
            break;
        case QEL_EVENT_OPEN: {
            JsonObject object =
                Begin("open").Add("attempt", event.attempt).Add("ok", event.code == 0);
            AddCode(object, event.code);
            Write(object);
            break;
        }
        case QEL_EVENT_PROGRESS:
            OnProgress(event);
            break;
        case QEL_EVENT_WARNING:
        case QEL_EVENT_ERROR:
            OnMessage(event);
            break;
        case QEL_EVENT_RESULT: {
            JsonObject object = Begin("result");
            AddResultFields(object, event, m_lastError);
            if (const std::string_view message = MessageOf(event.text); !message.empty()) {
                object.Add("message", message);
            }
            Write(object);
            break;
        }
        default:
            break;
    }
}

void JsonLinesSink::OnProgress(const qel_event& event) {
    if (event.phase != m_phase) {
        m_phase = event.phase;
        m_percentShown = 0;
        m_shownAtMs = event.elapsed_ms;
        Write(Begin("phase")
                  .Add("phase", qel_phase_name(event.phase))
                  .Add("pages", event.pages_total));
    }
    const int percent = PercentOf(event);
    const bool last = event.pages_done >= event.pages_total;
    if (!last && percent == m_percentShown && event.elapsed_ms - m_shownAtMs < kRedrawEveryMs) {
        return;
    }
    m_percentShown = percent;
    m_shownAtMs = event.elapsed_ms;
    Write(Begin("progress")
              .Add("phase", qel_phase_name(event.phase))
              .Add("done", event.pages_done)
              .Add("total", event.pages_total)
              .Add("percent", percent)
              .Add("bytes", static_cast<std::int64_t>(event.line_bytes))
              .AddFixed("seconds", SecondsOf(event)));
}

void JsonLinesSink::OnMessage(const qel_event& event) {
    JsonObject object = Begin(event.kind == QEL_EVENT_ERROR ? "error" : "warning");
    if (event.phase != QEL_PHASE_NONE) {
        object.Add("phase", qel_phase_name(event.phase));
    }
    AddCode(object, event.code);
    const std::string_view message = MessageOf(event.text);
    if (event.kind == QEL_EVENT_ERROR) {
        m_lastError = message;
    }
    Write(object.Add("message", message));
}

}  // namespace cli
