#include "aligned_rows.h"

#include <algorithm>

#include "orvane_print.h"

namespace orvane {
namespace {

constexpr std::size_t kColumnGap = 2;

}  // namespace

void PrintAligned(const std::vector<Row>& rows, qel::EventSink& sink) {
    std::vector<std::size_t> widths;
    for (const Row& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            line.append(widths[i] + kColumnGap - row[i].size(), ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        Print(sink, QEL_EVENT_INFO, "\n%s", line.c_str());
    }
}

}  // namespace orvane
