#include "service_report.h"

#include <cinttypes>

#include "json_text.h"
#include "qel_codes.h"

namespace service {
namespace {

std::string ForPerson(const Report::Value& value) {
    if (const auto* number = std::get_if<std::uint64_t>(&value)) {
        return Format("%" PRIu64, *number);
    }
    if (const auto* hex = std::get_if<HexNumber>(&value)) {
        return Format("0x%0*" PRIX32, hex->digits, hex->value);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "yes" : "no";
    }
    return std::get<std::string>(value);
}

std::string ForScript(const Report::Value& value) {
    if (const auto* number = std::get_if<std::uint64_t>(&value)) {
        return Format("%" PRIu64, *number);
    }
    if (const auto* hex = std::get_if<HexNumber>(&value)) {
        return Format("%" PRIu32, hex->value);
    }
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag ? "true" : "false";
    }
    return cli::JsonString(std::get<std::string>(value));
}

}  // namespace

void Report::Progress(const std::string& text) {
    if (!m_json) {
        m_printer.Write(text);
    }
}

void Report::Add(std::string key, std::string label, Value value) {
    m_fields.push_back({std::move(key), std::move(label), std::move(value)});
}

int Report::Finish(const std::string& command, const Outcome& outcome) {
    if (m_json) {
        FinishForScript(command, outcome);
    } else {
        FinishForPerson(outcome);
    }
    return outcome.exitStatus;
}

void Report::FinishForPerson(const Outcome& outcome) {
    std::string text;
    for (const Field& field : m_fields) {
        text += "\n" + field.label + ": " + ForPerson(field.value);
    }
    if (outcome.exitStatus == kExitOk) {
        text += "\nDone.\n";
    } else if (outcome.result != 0) {
        text += Format("\nERROR: %s ec=%d (%s)\n", outcome.failure.c_str(), outcome.result,
                       qel::ResultCodeText(outcome.result));
    } else {
        text += "\nERROR: " + outcome.failure + "\n";
    }
    m_printer.Write(text);
}

void Report::FinishForScript(const std::string& command, const Outcome& outcome) {
    // The leading line break keeps the object apart from anything printed before it.
    std::string text = "\n{\"command\":" + cli::JsonString(command);
    text += outcome.exitStatus == kExitOk ? ",\"ok\":true" : ",\"ok\":false";
    text += Format(",\"result\":%d", outcome.result);
    if (outcome.exitStatus != kExitOk) {
        text += ",\"error\":" + cli::JsonString(outcome.failure);
        if (outcome.result != 0) {
            text += ",\"meaning\":" + cli::JsonString(qel::ResultCodeText(outcome.result));
        }
    }
    for (const Field& field : m_fields) {
        text += "," + cli::JsonString(field.key) + ":" + ForScript(field.value);
    }
    m_printer.Write(text + "}\n");
}

}  // namespace service
