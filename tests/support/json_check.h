// A small JSON reader for tests: whether a text is one valid JSON value, and the top-level
// fields of an object (strings unescaped, other values as their JSON text).
#pragma once

#include <cctype>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace json_check {

using Fields = std::map<std::string, std::string>;

class Reader {
  public:
    explicit Reader(std::string_view text) : m_text(text) {}

    // The fields of the object that the whole text is; nothing when it is not exactly that.
    std::optional<Fields> Object() {
        Fields fields;
        if (!Peek('{') || !ParseObject(&fields) || (SkipBlanks(), m_at != m_text.size())) {
            return std::nullopt;
        }
        return fields;
    }

  private:
    bool Peek(char c) {
        SkipBlanks();
        return m_at < m_text.size() && m_text[m_at] == c;
    }
    bool Take(char c) {
        if (!Peek(c)) {
            return false;
        }
        ++m_at;
        return true;
    }
    void SkipBlanks() {
        while (m_at < m_text.size() &&
               std::string_view(" \t\r\n").find(m_text[m_at]) != std::string_view::npos) {
            ++m_at;
        }
    }
    bool ParseObject(Fields* fields) {
        Take('{');
        if (Take('}')) {
            return true;
        }
        do {
            std::string key;
            std::string value;
            if (!Peek('"') || !ParseString(&key) || !Take(':') || !ParseValue(&value)) {
                return false;
            }
            if (fields != nullptr) {
                (*fields)[key] = value;
            }
        } while (Take(','));
        return Take('}');
    }
    bool ParseArray() {
        Take('[');
        if (Take(']')) {
            return true;
        }
        do {
            if (!ParseValue(nullptr)) {
                return false;
            }
        } while (Take(','));
        return Take(']');
    }
    bool ParseString(std::string* out) {
        ++m_at;  // the opening quote
        while (m_at < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\' && !ParseEscape(out)) {
                return false;
            }
            if (c != '\\') {
                out->push_back(static_cast<char>(c));
            }
        }
        return false;
    }
    bool ParseEscape(std::string* out) {
        if (m_at >= m_text.size()) {
            return false;
        }
        const char c = m_text[m_at++];
        const std::string_view simple = "\"\\/bfnrt";
        const std::string_view meant = "\"\\/\b\f\n\r\t";
        if (const auto at = simple.find(c); at != std::string_view::npos) {
            out->push_back(meant[at]);
            return true;
        }
        if (c != 'u' || m_at + 4 > m_text.size()) {
            return false;
        }
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char digit = m_text[m_at++];
            if (!std::isxdigit(static_cast<unsigned char>(digit))) {
                return false;
            }
            value =
                value * 16 + static_cast<unsigned>(std::stoi(std::string(1, digit), nullptr, 16));
        }
        // Only the characters below U+0080 are kept as themselves; others as a '?'.
        out->push_back(value < 0x80 ? static_cast<char>(value) : '?');
        return true;
    }
    bool ParseValue(std::string* out) {
        SkipBlanks();
        std::string ignored;
        std::string& value = out != nullptr ? *out : ignored;
        if (Peek('"')) {
            return ParseString(&value);
        }
        const std::size_t from = m_at;
        bool parsed = false;
        if (Peek('{')) {
            parsed = ParseObject(nullptr);
        } else if (Peek('[')) {
            parsed = ParseArray();
        } else {
            parsed = ParseWord();
        }
        value = std::string(m_text.substr(from, m_at - from));
        return parsed;
    }
    // A number, true, false or null.
    bool ParseWord() {
        for (std::string_view word : {"true", "false", "null"}) {
            if (m_text.substr(m_at, word.size()) == word) {
                m_at += word.size();
                return true;
            }
        }
        const std::size_t from = m_at;
        if (m_at < m_text.size() && m_text[m_at] == '-') {
            ++m_at;
        }
        const std::size_t digits = m_at;
        while (m_at < m_text.size() &&
               (std::isdigit(static_cast<unsigned char>(m_text[m_at])) || m_text[m_at] == '.')) {
            ++m_at;
        }
        return m_at > digits && m_at > from;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

// The fields of one line that must be a JSON object.
inline std::optional<Fields> ObjectOf(std::string_view line) {
    return Reader(line).Object();
}

// The first of expected's fields that object lacks or holds with another value, as
// "key: value"; empty when it holds them all.
inline std::string Mismatch(const Fields& object, const Fields& expected) {
    for (const auto& [key, value] : expected) {
        const auto found = object.find(key);
        if (found == object.end() || found->second != value) {
            return key + ": " + (found == object.end() ? "missing" : found->second);
        }
    }
    return {};
}

}  // namespace json_check
