#include "text_format.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace cli {

std::string FormatList(const char* format, va_list arguments) {
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) {
        return std::string();
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatList(format, arguments);
    va_end(arguments);
    return text;
}

std::vector<std::string> PaddedToWidest(const std::vector<std::string>& texts, std::size_t gap) {
    std::size_t widest = 0;
    for (const std::string& text : texts) {
        widest = std::max(widest, text.size());
    }
    std::vector<std::string> padded;
    for (const std::string& text : texts) {
        padded.push_back(text + std::string(widest - text.size() + gap, ' '));
    }
    return padded;
}

}  // namespace cli
