#include "option_parser.h"

#include <cstddef>
#include <string_view>

#include "orvane_print.h"
#include "text_case.h"

namespace orvane {
namespace {

struct OptionSpec {
    std::string_view prefix;
    std::size_t capacity;
    std::string OptionValues::*value;
};

constexpr std::size_t kPrefixLength = 3;

// Matched in this order on the first three characters of an argument.
constexpr OptionSpec kOptions[] = {
    {"/C=", 7, &OptionValues::channel},  {"/I=", 23, &OptionValues::address},
    {"/P=", 7, &OptionValues::port},     {"/F=", 511, &OptionValues::filePath},
    {"/V=", 7, &OptionValues::verify},   {"/M=", 7, &OptionValues::mode},
    {"/D=", 511, &OptionValues::device},
};

const OptionSpec* FindOption(std::string_view argument) {
    if (argument.size() < kPrefixLength) {
        return nullptr;
    }
    for (const OptionSpec& option : kOptions) {
        if (EqualsIgnoringCase(argument.substr(0, kPrefixLength), option.prefix)) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

OptionValues ParseOptions(int argc, const char* const* argv) {
    OptionValues values;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        const OptionSpec* option = FindOption(argument);
        if (option == nullptr) {
            Print("\nWARNING: Unknown parameter [%s]. Ignore it.", ToUpperAscii(argument).c_str());
            continue;
        }
        values.*(option->value) = std::string(argument.substr(kPrefixLength, option->capacity));
    }
    return values;
}

bool IsHelpRequest(const char* argument) {
    const std::string_view text(argument);
    return text == "/?" || EqualsIgnoringCase(text, "-h") || EqualsIgnoringCase(text, "--help");
}

}  // namespace orvane
