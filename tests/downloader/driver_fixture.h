// Runs the download driver in-process on a channel of the test's choosing, with pauses recorded
// instead of slept.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "download_driver.h"
#include "hex_files.h"
#include "run_capture.h"
#include "sleep_recorder.h"

namespace orvane_test {

class DriverTest : public testing::Test {
  protected:
    DriverTest() {
        m_settings.port = 7;
        m_settings.filePath = m_files.Write("image.hex", 0x3000, {0xDE, 0xAD, 0xBE, 0xEF});
    }

    // Serves channel (which may be null) and otherwise the real loader and socket start.
    RunResult Run(std::shared_ptr<ICommChannel> channel) {
        orvane::DownloadServices services = orvane::RealServices();
        services.makeChannel = [channel](const orvane::RunSettings&) { return channel; };
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
        m_settings.channelKind = orvane::ChannelKind::kTcp;
        m_settings.address = address;
        m_settings.port = port;
    }

    SleepRecorder m_sleeps;
    HexFileDirectory m_files;
    orvane::RunSettings m_settings;
};

}  // namespace orvane_test
