#include "option_table.h"

#include "text_case.h"

namespace cli {
namespace {

bool TakesValue(const OptionSpec& option) {
    return !option.name.empty() && option.name.back() == '=';
}

bool Matches(const OptionSpec& option, std::string_view argument) {
    return TakesValue(option) ? StartsWithIgnoringCase(argument, option.name)
                              : EqualsIgnoringCase(argument, option.name);
}

const std::vector<std::string>& NoValues() {
    static const std::vector<std::string> none;
    return none;
}

}  // namespace

void ParsedOptions::Add(std::string_view name, std::string value) {
    auto found = m_values.find(name);
    if (found == m_values.end()) {
        found = m_values.emplace(std::string(name), std::vector<std::string>()).first;
    }
    found->second.push_back(std::move(value));
}

bool ParsedOptions::Given(std::string_view name) const {
    return m_values.find(name) != m_values.end();
}

const std::string& ParsedOptions::Value(std::string_view name) const {
    static const std::string empty;
    const std::vector<std::string>& values = Values(name);
    return values.empty() ? empty : values.back();
}

const std::vector<std::string>& ParsedOptions::Values(std::string_view name) const {
    const auto found = m_values.find(name);
    return found == m_values.end() ? NoValues() : found->second;
}

const OptionSpec* MatchOption(std::span<const OptionSpec> table, std::string_view argument) {
    for (const OptionSpec& option : table) {
        if (Matches(option, argument)) {
            return &option;
        }
    }
    return nullptr;
}

ParsedOptions ParseOptions(std::span<const OptionSpec> table,
                           const std::vector<std::string>& arguments,
                           const std::function<void(const std::string&)>& unmatched) {
    ParsedOptions parsed;
    for (const std::string& argument : arguments) {
        const OptionSpec* option = MatchOption(table, argument);
        if (option == nullptr) {
            unmatched(argument);
        } else if (TakesValue(*option)) {
            parsed.Add(option->name, argument.substr(option->name.size(), option->capacity));
        } else {
            parsed.Add(option->name, std::string());
        }
    }
    return parsed;
}

std::vector<std::string> ArgumentList(int argc, const char* const* argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    return arguments;
}

}  // namespace cli
