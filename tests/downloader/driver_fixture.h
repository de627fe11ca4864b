// Runs the download driver in-process on a channel of the test's choosing, with pauses recorded
// instead of slept and every event recorded as well as printed.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "download_driver.h"
#include "event_recorder.h"
#include "intel_hex_text.h"
#include "run_capture.h"
#include "sleep_recorder.h"
#include "temp_dir.h"

namespace orvane_test {

// What the RESULT event of a download says.
struct EndingFields {
    int exitStatus;
    int failure;
    int code;
    int attempts;
};

inline testing::AssertionResult Ends(const qel_event& ending, const EndingFields& expected) {
    const EndingFields actual{ending.exit_status, ending.failure, ending.code, ending.attempt};
    if (actual.exitStatus == expected.exitStatus && actual.failure == expected.failure &&
        actual.code == expected.code && actual.attempts == expected.attempts &&
        ending.ok == (expected.failure == QEL_FAILURE_NONE ? 1 : 0)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure()
           << "exit " << actual.exitStatus << ", " << qel_failure_name(actual.failure) << ", code "
           << actual.code << ", " << actual.attempts << " attempts, ok " << ending.ok;
}

class DriverTest : public testing::Test {
  protected:
    DriverTest() {
        m_settings.channel.port = 7;
        m_settings.filePath =
            m_files.Write("image.hex", IntelHexFile(0x3000, {0xDE, 0xAD, 0xBE, 0xEF}));
    }

    // The real loader and socket start, with channel lent (none when null).
    static orvane::DownloadServices ServicesLending(ICommChannel* channel) {
        orvane::DownloadServices services = orvane::RealServices();
        services.makeChannel = [channel](const cli::ChannelSettings&) {
            return channel != nullptr ? cli::BorrowChannel(*channel) : cli::NoChannel();
        };
        return services;
    }
    RunResult Run(ICommChannel* channel) { return Run(ServicesLending(channel)); }
    RunResult Run(const orvane::DownloadServices& services) {
        RunResult result;
        testing::internal::CaptureStdout();
        result.exitStatus = orvane::RunDownload(m_settings, services, m_events);
        result.output = testing::internal::GetCapturedStdout();
        return result;
    }

    void UseTcp(const std::string& address, int port) {
        m_settings.channel.kind = cli::ChannelKind::kTcp;
        m_settings.channel.address = address;
        m_settings.channel.port = port;
    }

    // The RESULT event, which must be the last.
    qel_event Ending() const {
        EXPECT_FALSE(m_events.Events().empty());
        if (m_events.Events().empty()) {
            return qel::MakeEvent(0);
        }
        const qel_event last = m_events.Events().back().event;
        EXPECT_EQ(last.kind, QEL_EVENT_RESULT);
        return last;
    }

    SleepRecorder m_sleeps;
    TempDir m_files;
    orvane::RunSettings m_settings;
    EventRecorder m_events{&qel::DefaultEventSink()};
};

}  // namespace orvane_test
