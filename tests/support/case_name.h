// Short readable names for the cases of parameterised tests, so that a test's name (and the name
// ctest lists) says which case it runs.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

// Names each case by its own `name` field.
struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const {
        return info.param.name;
    }
};

// A name from free text such as a command line: its runs of letters and digits joined by '_',
// with the few marks that tell cases apart spelled out ("--slow-reply 7:" gives
// "slow_reply_7_colon", "-1" gives "minus_1"); "empty" for no text.
inline std::string NameOf(std::string_view text) {
    std::vector<std::string> words;
    bool inWord = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto character = static_cast<unsigned char>(text[i]);
        const bool minus = character == '-' && !inWord && i + 1 < text.size() &&
                           std::isdigit(static_cast<unsigned char>(text[i + 1]));
        const char* spelled = character == ','   ? "comma"
                              : character == ':' ? "colon"
                              : character == '?' ? "question"
                              : minus            ? "minus"
                                                 : nullptr;
        if (std::isalnum(character)) {
            if (!inWord) {
                words.emplace_back();
            }
            words.back() += static_cast<char>(character);
        } else if (spelled != nullptr) {
            words.emplace_back(spelled);
        }
        inWord = std::isalnum(character) != 0;
    }
    std::string name;
    for (const std::string& word : words) {
        name += (name.empty() ? "" : "_") + word;
    }
    return name.empty() ? "empty" : name;
}

inline std::string NameOf(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        text += word + " ";
    }
    return NameOf(text);
}
