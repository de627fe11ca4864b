// Runs the download driver in-process on a channel of the test's choosing, with pauses recorded
// instead of slept.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "download_driver.h"
#include "intel_hex_text.h"
#include "run_capture.h"
#include "sleep_recorder.h"
#include "temp_dir.h"

namespace orvane_test {

class DriverTest : public testing::Test {
  protected:
    DriverTest() {
        m_settings.channel.port = 7;
        m_settings.filePath =
            m_files.Write("image.hex", IntelHexFile(0x3000, {0xDE, 0xAD, 0xBE, 0xEF}));
    }

    // Lends channel (none when null) and otherwise serves the real loader and socket start.
    RunResult Run(ICommChannel* channel) {
        orvane::DownloadServices services = orvane::RealServices();
        services.makeChannel = [channel](const cli::ChannelSettings&) {
            return channel != nullptr ? cli::BorrowChannel(*channel) : cli::NoChannel();
        };
        return Run(services);
    }
    RunResult Run(const orvane::DownloadServices& services) {
        RunResult result;
        testing::internal::CaptureStdout();
        result.exitStatus = orvane::RunDownload(m_settings, services);
        result.output = testing::internal::GetCapturedStdout();
        return result;
    }

    void UseTcp(const std::string& address, int port) {
        m_settings.channel.kind = cli::ChannelKind::kTcp;
        m_settings.channel.address = address;
        m_settings.channel.port = port;
    }

    SleepRecorder m_sleeps;
    TempDir m_files;
    orvane::RunSettings m_settings;
};

}  // namespace orvane_test
