// Runs the program in-process and keeps what it printed and the settings it handed on.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "download_services.h"
#include "run_orvane.h"

namespace orvane_test {

struct RunResult {
    int exitStatus = -1;
    std::string output;
};

inline const std::string kBanner = "\n\nOrvane v.1.02";
inline const std::string kCannotCreate = "\nERROR: Cannot create specified communication channel.";

inline RunResult RunProgram(std::vector<std::string> arguments,
                            const orvane::DownloadServices& services) {
    arguments.insert(arguments.begin(), "Orvane");
    std::vector<const char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    RunResult result;
    testing::internal::CaptureStdout();
    result.exitStatus = orvane::RunOrvane(static_cast<int>(argv.size()), argv.data(), services);
    result.output = testing::internal::GetCapturedStdout();
    return result;
}

// Services whose channel factory keeps the settings it is given and makes nothing, so that the
// run ends right after the command line with kCannotCreate.
class SettingsProbe {
  public:
    orvane::DownloadServices Services() {
        orvane::DownloadServices services = orvane::RealServices();
        services.makeChannel = [this](const cli::ChannelSettings& settings) {
            m_settings = settings;
            return cli::NoChannel();
        };
        return services;
    }
    const std::optional<cli::ChannelSettings>& Settings() const { return m_settings; }

  private:
    std::optional<cli::ChannelSettings> m_settings;
};

}  // namespace orvane_test
