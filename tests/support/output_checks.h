// Checks on captured output that also holds the library's own lines between the program's.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvane_test {

inline int CountOf(const std::string& output, const std::string& text) {
    int count = 0;
    for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) {
        ++count;
    }
    return count;
}

// Each message appears after the one before it.
inline testing::AssertionResult InOrder(const std::string& output,
                                        const std::vector<std::string>& messages) {
    std::size_t from = 0;
    for (const auto& message : messages) {
        const auto at = output.find(message, from);
        if (at == std::string::npos) {
            return testing::AssertionFailure()
                   << "missing, or out of order: [" << message << "] in [" << output << "]";
        }
        from = at + message.size();
    }
    return testing::AssertionSuccess();
}

inline bool EndsWith(const std::string& output, const std::string& tail) {
    return output.size() >= tail.size() &&
           output.compare(output.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace orvane_test
