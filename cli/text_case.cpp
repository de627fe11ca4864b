#include "text_case.h"

namespace cli {
namespace {

char UpperAscii(char character) {
    return (character >= 'a' && character <= 'z') ? static_cast<char>(character - 'a' + 'A')
                                                  : character;
}

char LowerAscii(char character) {
    return (character >= 'A' && character <= 'Z') ? static_cast<char>(character - 'A' + 'a')
                                                  : character;
}

}  // namespace

std::string ToUpperAscii(std::string_view text) {
    std::string upper(text);
    for (char& character : upper) {
        character = UpperAscii(character);
    }
    return upper;
}

std::string ToLowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& character : lower) {
        character = LowerAscii(character);
    }
    return lower;
}

bool EqualsIgnoringCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (UpperAscii(left[i]) != UpperAscii(right[i])) {
            return false;
        }
    }
    return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace cli
