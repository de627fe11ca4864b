// One run of the soak (scripts/soak): Orvane's download in-process, from Orvane's own options,
// with every pause of the library shortened by a divisor, so that a thousand downloads with
// failed attempts and blind-mode waits fit in the time of a few real ones. Prints one JSON line
// with how the download ended.
//
//   soak_runner [--pause-divisor N] <Orvane's options>
//
// The exit status is Orvane's for the same download.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "download_driver.h"
#include "option_parser.h"
#include "option_validation.h"
#include "qel_sleep.h"

namespace {

unsigned long g_pauseDivisor = 100;

void ShortenedSleep(unsigned long milliseconds) {
    std::this_thread::sleep_for(std::chrono::microseconds(milliseconds * 1000 / g_pauseDivisor));
}

// Keeps the download's RESULT and counts its warnings: each one is a failure it went on after.
class OutcomeSink : public qel::EventSink {
  public:
    void OnEvent(const qel_event& event) override {
        if (event.kind == QEL_EVENT_RESULT) {
            m_result = event;
        } else if (event.kind == QEL_EVENT_WARNING) {
            ++m_warnings;
        }
    }

    void Print(int exitStatus, double seconds) const {
        // Orvane's own lines end without a line break: the JSON line starts on a line of its own.
        std::printf(
            "\n{\"exit\":%d,\"ok\":%d,\"code\":%d,\"failure\":\"%s\",\"attempts\":%d,"
            "\"pages\":%d,\"warnings\":%d,\"seconds\":%.3f}\n",
            exitStatus, m_result.ok, m_result.code, qel_failure_name(m_result.failure),
            m_result.attempt, m_result.pages_done, m_warnings, seconds);
    }

  private:
    qel_event m_result = qel::MakeEvent(QEL_EVENT_RESULT);
    int m_warnings = 0;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() >= 2 && arguments[0] == "--pause-divisor") {
        g_pauseDivisor = std::max(1ul, std::stoul(arguments[1]));
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    qel::SetSleepFunction(&ShortenedSleep);
    const auto started = std::chrono::steady_clock::now();
    OutcomeSink sink;
    orvane::RunSettings settings;
    int exitStatus = QEL_EXIT_BEFORE_RUN;
    if (orvane::ValidateOptions(orvane::ParseOptions(arguments), settings)) {
        exitStatus = orvane::RunDownload(settings, orvane::RealServices(), sink);
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    sink.Print(exitStatus, seconds.count());
    return exitStatus;
}
