#include "json_text.h"

#include <cstdio>

namespace cli {
namespace {

void AppendEscape(std::string& out, std::uint32_t unit) {
    char escape[7];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
    out += escape;
}

void AppendCodePoint(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x10000) {
        AppendEscape(out, codePoint);
        return;
    }
    const std::uint32_t offset = codePoint - 0x10000;
    AppendEscape(out, 0xD800 + (offset >> 10));
    AppendEscape(out, 0xDC00 + (offset & 0x3FF));
}

// The length of the well-formed UTF-8 sequence at s[at] (2 to 4) and its code point; 0 when the
// bytes there are no such sequence (stray continuation, overlong form, surrogate, beyond U+10FFFF).
std::size_t DecodeUtf8(std::string_view s, std::size_t at, std::uint32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(s[at]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > s.size()) {
        return 0;
    }
    codePoint = lead & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(s[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    constexpr std::uint32_t kLowest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < kLowest[length] || codePoint > 0x10FFFF || surrogate) {
        return 0;
    }
    return length;
}

}  // namespace

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (std::size_t at = 0; at < s.size(); ++at) {
        const auto byte = static_cast<unsigned char>(s[at]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += static_cast<char>(byte);
        } else if (std::uint32_t codePoint = 0; byte >= 0x80) {
            const std::size_t length = DecodeUtf8(s, at, codePoint);
            AppendCodePoint(out, length > 0 ? codePoint : byte);
            at += length > 0 ? length - 1 : 0;
        } else {
            AppendEscape(out, byte);
        }
    }
    return out + "\"";
}

void JsonObject::Key(std::string_view key) {
    if (m_text.size() > 1) {
        m_text += ',';
    }
    m_text += JsonString(key);
    m_text += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view text) {
    Key(key);
    m_text += JsonString(text);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, std::int64_t number) {
    Key(key);
    m_text += std::to_string(number);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, bool flag) {
    Key(key);
    m_text += flag ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::AddFixed(std::string_view key, double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", number);
    Key(key);
    m_text += text;
    return *this;
}

JsonObject& JsonObject::AddJson(std::string_view key, std::string_view json) {
    Key(key);
    m_text += json;
    return *this;
}

}  // namespace cli
