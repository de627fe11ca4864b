// The end of a station run: a table of how each device's download ended, how many failed, and
// the exit status.
#pragma once

#include <string>
#include <vector>

#include "event_sink.h"
#include "qel_download.h"

namespace orvane {

struct DeviceOutcome {
    std::string name;
    qel::DownloadResult result;
};

// The table (device, result, code and its meaning, attempts, seconds, pages written and skipped)
// under "Summary:", then the line that says how many devices failed.
void PrintSummary(const std::vector<DeviceOutcome>& outcomes, qel::EventSink& sink);

int FailedCount(const std::vector<DeviceOutcome>& outcomes);
// 0 when every device succeeded, else the highest exit status among them.
int StationExitStatus(const std::vector<DeviceOutcome>& outcomes);

}  // namespace orvane
