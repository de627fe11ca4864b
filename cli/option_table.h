// A program's command-line options as a table, so that a new option is one row.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// A name that ends in '=' takes the rest of the argument as its value, cut to capacity
// characters; any other name is a switch that the whole argument must match. Names are written
// in lower case and match in any case.
struct OptionSpec {
    std::string_view name;
    std::size_t capacity = 0;
};

// The values of the options given, in the order given: an option given more than once keeps
// every value, and an option that takes one value uses the last.
class ParsedOptions {
  public:
    void Add(std::string_view name, std::string value);
    bool Given(std::string_view name) const;
    // The last value given, or "" when the option was not given.
    const std::string& Value(std::string_view name) const;
    const std::vector<std::string>& Values(std::string_view name) const;

  private:
    std::map<std::string, std::vector<std::string>, std::less<>> m_values;
};

// The row that argument matches, or null.
const OptionSpec* MatchOption(std::span<const OptionSpec> table, std::string_view argument);

// Takes every argument that matches a row of table and hands every other one, in order, to
// unmatched.
ParsedOptions ParseOptions(std::span<const OptionSpec> table,
                           const std::vector<std::string>& arguments,
                           const std::function<void(const std::string&)>& unmatched);

// The arguments after the program's name.
std::vector<std::string> ArgumentList(int argc, const char* const* argv);

}  // namespace cli
