#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "run_capture.h"

namespace orvane_test {
namespace {

const std::string kUsage =
    "\n\nUsage:"
    "\nOrvane.exe /c=tcp|com /i=<xxx.xxx.xxx.xxx> /p=<port> /f=<filename> /v=crc|full "
    "/m=a|p|v|r|b"
    "\n/c=tcp|com           - communication channel: TCP connection or serial port"
    "\n/i=<xxx.xxx.xxx.xxx> - IP address of remote device"
    "\n/p=<port>            - TCP or SERIAL port number depending on set channel value"
    "\n                       valid TCP ports   : [1..65535]"
    "\n                       valid SERIAL ports: [1..255]"
    "\n/d=<device>          - serial device path instead of the COM port number (e.g. "
    "/dev/ttyUSB0)"
    "\n/l                   - list the serial ports and exit"
    "\n/r=<0..10>           - send a request again when its reply is lost, 0 to 10 times"
    "\n/j=<threads>         - station: /i= or /d= once per device, <threads> at once "
    "(1..64, default 16)"
    "\n/log=<folder>        - station: each device's output to a file of its own in <folder>"
    "\n/s                   - skip pages the device holds (CRC16 compare: a change may pass "
    "unseen, about 1 in 65536; /v=full finds it)"
    "\n/w=<1..16>           - page writes in flight over TCP (default 1)"
    "\n/json                - JSON Lines on standard output, one object a line, the result last"
    "\n/q                   - quiet: only errors and the final line"
    "\n/a=<attempts>        - most attempts [1..100], default 100 (blind mode: until success)"
    "\n/t=<seconds>         - pause between attempts in seconds [0..60], default 5"
    "\n/f=<filename>        - Filename specifies the file to download"
    "\n/v=crc|full          - verification method - ony CRC16 or read all data back and verify"
    "\n                       default value is crc"
    "\n/m=a|p|v|r           - mode of execution"
    "\n                       a - all steps (default)"
    "\n                       p - only write data to device"
    "\n                       v - only verify wrote data"
    "\n                       r - only reset device"
    "\n                       b - the same as 'a' but doing this in 'BLIND' mode - forever "
    "repeat till success upgrade confirmation."
    "\n\nExample:"
    "\nOrvane.exe /c=com /p=1 /f=myfile.hex /v=crc"
    "\nDownload myfile.hex through serial port COM1"
    "\n"
    "\nOrvane.exe /c=tcp /i=192.168.1.10 /p=262 /f=myfile.hex"
    "\nDownload myfile.hex through TCP connection on address 192.168.1.10:262\n";

class UsageText : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(UsageText, PrintsBannerAndUsageAndExitsZero) {
    SettingsProbe probe;
    const RunResult result = RunProgram(GetParam(), probe.Services());
    EXPECT_EQ(result.output, kBanner + kUsage);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_FALSE(probe.Settings().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    NoArgumentsOrHelp, UsageText,
    testing::Values(std::vector<std::string>{}, std::vector<std::string>{"/?"},
                    std::vector<std::string>{"-h"}, std::vector<std::string>{"-H"},
                    std::vector<std::string>{"--help"},
                    // Help wins over options, even complete ones.
                    std::vector<std::string>{"/c=com", "/p=1", "/f=a.hex", "--help"}),
    [](const testing::TestParamInfo<std::vector<std::string>>& tested) {
        return NameOf(tested.param);
    });

}  // namespace
}  // namespace orvane_test
