#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "download_services.h"
#include "serial_channel.h"

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#endif

namespace orvane_test {
namespace {

using orvane::ChannelKind;
using orvane::RunSettings;

#ifndef _WIN32
// The serial device of a pseudo-terminal pair, closed again at the end of the test.
class PseudoTerminal {
  public:
    PseudoTerminal() : m_master(posix_openpt(O_RDWR | O_NOCTTY)) {
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0) {
            m_devicePath = ptsname(m_master);
        }
    }
    ~PseudoTerminal() {
        if (m_master >= 0) {
            close(m_master);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    const std::string& DevicePath() const { return m_devicePath; }

  private:
    int m_master;
    std::string m_devicePath;
};

TEST(RealChannel, DevicePathIsOpenedInsteadOfTheComPort) {
    PseudoTerminal terminal;
    ASSERT_FALSE(terminal.DevicePath().empty());
    RunSettings settings;
    settings.port = 200;  // no such COM port on the machine
    _serial_open_params params{settings.port, 1000};

    // The channel reports its port as it opens; keep that out of the test log.
    testing::internal::CaptureStdout();
    const auto byPort = orvane::MakeRealChannel(settings);
    ASSERT_NE(dynamic_cast<SerialChannel*>(byPort.get()), nullptr);
    EXPECT_NE(byPort->Open(&params), 0);
    byPort->Close();

    settings.devicePath = terminal.DevicePath();
    const auto byPath = orvane::MakeRealChannel(settings);
    ASSERT_NE(dynamic_cast<SerialChannel*>(byPath.get()), nullptr);
    EXPECT_EQ(byPath->Open(&params), 0);
    byPath->Close();
    testing::internal::GetCapturedStdout();
}
#endif

}  // namespace
}  // namespace orvane_test
