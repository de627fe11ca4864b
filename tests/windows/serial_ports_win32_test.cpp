// The Windows port list asks the registry and SetupAPI; Wine may know of no port at all, so the
// test holds what every list must be: COM names, each once, in natural order.
#include <gtest/gtest.h>

#include <algorithm>

#include "serial_ports.h"

namespace {

TEST(SerialPortsWin32, ListsComNamesOnceEachInNaturalOrder) {
    const std::vector<SerialPortInfo> ports = ListSerialPorts();
    for (const SerialPortInfo& port : ports) {
        EXPECT_EQ(port.devicePath.rfind("COM", 0), 0u) << port.devicePath;
        EXPECT_TRUE(port.byIdPath.empty() && port.vendorId.empty()) << "Linux fields stay empty";
    }
    EXPECT_TRUE(std::is_sorted(ports.begin(), ports.end(), [](const auto& left, const auto& right) {
        return NaturalLess(left.devicePath, right.devicePath);
    }));
    EXPECT_EQ(std::adjacent_find(ports.begin(), ports.end(),
                                 [](const auto& left, const auto& right) {
                                     return left.devicePath == right.devicePath;
                                 }),
              ports.end());
}

}  // namespace
