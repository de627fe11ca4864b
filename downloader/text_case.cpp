#include "text_case.h"

namespace orvane {
namespace {

char UpperAscii(char character) {
    return (character >= 'a' && character <= 'z') ? static_cast<char>(character - 'a' + 'A')
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

}  // namespace orvane
