#include "station_summary.h"

#include <algorithm>
#include <cstdio>

#include "aligned_rows.h"
#include "orvane_print.h"

namespace orvane {
namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return text;
}

Row RowOf(const DeviceOutcome& outcome) {
    const qel::DownloadResult& result = outcome.result;
    return {outcome.name,
            result.Ok() ? "ok" : qel_failure_name(result.failure),
            std::to_string(result.code),
            qel::ResultCodeText(result.code),
            std::to_string(result.attempts),
            Seconds(result.seconds),
            std::to_string(result.pagesWritten),
            std::to_string(result.pagesSkipped)};
}

}  // namespace

void PrintSummary(const std::vector<DeviceOutcome>& outcomes, qel::EventSink& sink) {
    std::vector<Row> rows{
        {"device", "result", "code", "meaning", "attempts", "seconds", "pages written", "skipped"}};
    for (const DeviceOutcome& outcome : outcomes) {
        rows.push_back(RowOf(outcome));
    }
    Print(sink, QEL_EVENT_INFO, "\n\nSummary:");
    PrintAligned(rows, sink);
    Print(sink, QEL_EVENT_INFO, "\n%d of %d devices failed.\n", FailedCount(outcomes),
          static_cast<int>(outcomes.size()));
}

int FailedCount(const std::vector<DeviceOutcome>& outcomes) {
    return static_cast<int>(std::count_if(outcomes.begin(), outcomes.end(),
                                          [](const DeviceOutcome& o) { return !o.result.Ok(); }));
}

int StationExitStatus(const std::vector<DeviceOutcome>& outcomes) {
    int status = QEL_EXIT_SUCCESS;
    for (const DeviceOutcome& outcome : outcomes) {
        status = std::max(status, outcome.result.exitStatus);
    }
    return status;
}

}  // namespace orvane
