// JSON text for the programs' machine-readable output: string literals that are valid whatever
// bytes they hold, and objects built field by field in the order given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cli {

// s as a JSON string literal, quotes included, in plain ASCII: control characters and every
// character beyond ASCII are escaped (\uXXXX, surrogate pairs above U+FFFF). A byte that is not
// part of well-formed UTF-8 (a file name in another encoding) stands as the character of its
// value, U+0080 to U+00FF, so that nothing is dropped and the line still parses.
std::string JsonString(std::string_view s);

// One JSON object, written as its fields are added.
class JsonObject {
  public:
    JsonObject& Add(std::string_view key, std::string_view text);
    JsonObject& Add(std::string_view key, const char* text) {
        return Add(key, std::string_view(text));
    }
    JsonObject& Add(std::string_view key, std::int64_t number);
    JsonObject& Add(std::string_view key, int number) {
        return Add(key, static_cast<std::int64_t>(number));
    }
    JsonObject& Add(std::string_view key, std::uint32_t number) {
        return Add(key, static_cast<std::int64_t>(number));
    }
    JsonObject& Add(std::string_view key, bool flag);
    // A number with three decimals (seconds).
    JsonObject& AddFixed(std::string_view key, double number);
    // A value that is JSON text already (an array, a nested object).
    JsonObject& AddJson(std::string_view key, std::string_view json);

    // The object, braces included, without a line break.
    std::string Text() const { return m_text + "}"; }

  private:
    void Key(std::string_view key);

    std::string m_text = "{";
};

}  // namespace cli
