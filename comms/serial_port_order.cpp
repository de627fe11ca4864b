// The order in which ports are listed: the way an operator counts them.
#include <algorithm>

#include "serial_ports.h"

namespace {

bool IsDigit(char character) {
    return character >= '0' && character <= '9';
}

// Takes the run of digits from the front of text and returns it without its leading zeros.
std::string_view TakeDigitRun(std::string_view& text) {
    std::size_t end = 0;
    while (end < text.size() && IsDigit(text[end])) {
        ++end;
    }
    const std::string_view run = text.substr(0, end);
    text.remove_prefix(end);
    const std::size_t firstSignificant = run.find_first_not_of('0');
    return firstSignificant == std::string_view::npos ? std::string_view()
                                                      : run.substr(firstSignificant);
}

// Below zero, zero or above zero as left's value is below, equal to or above right's. Runs of any
// length compare: a longer run of significant digits is the larger value.
int CompareRuns(std::string_view left, std::string_view right) {
    if (left.size() != right.size()) {
        return left.size() < right.size() ? -1 : 1;
    }
    return left.compare(right);
}

int CompareNaturally(std::string_view left, std::string_view right) {
    while (!left.empty() && !right.empty()) {
        if (IsDigit(left.front()) && IsDigit(right.front())) {
            const std::string_view leftRun = TakeDigitRun(left);
            const int order = CompareRuns(leftRun, TakeDigitRun(right));
            if (order != 0) {
                return order;
            }
        } else if (left.front() != right.front()) {
            return static_cast<unsigned char>(left.front()) <
                           static_cast<unsigned char>(right.front())
                       ? -1
                       : 1;
        } else {
            left.remove_prefix(1);
            right.remove_prefix(1);
        }
    }
    return left.empty() == right.empty() ? 0 : (left.empty() ? -1 : 1);
}

}  // namespace

bool NaturalLess(std::string_view left, std::string_view right) {
    const int order = CompareNaturally(left, right);
    // Names equal in value ("ttyS01", "ttyS1") still need one order, so that sorting is stable
    // whatever the order they were found in.
    return order != 0 ? order < 0 : left < right;
}

void SortPorts(std::vector<SerialPortInfo>& ports) {
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortInfo& left, const SerialPortInfo& right) {
                  return NaturalLess(left.devicePath, right.devicePath);
              });
}
