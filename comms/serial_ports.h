// The serial ports a machine has, for an operator choosing which one to open: on Linux from
// sysfs and /dev/serial/by-id, on Windows from the registry's SERIALCOMM map and SetupAPI.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// One port. Every field but the device path is empty where the system does not say; the empty
// initialisers let a caller name only the fields it fills.
struct SerialPortInfo {
    std::string devicePath{};    // what opens the port: /dev/ttyUSB0, or COM3 on Windows
    std::string byIdPath{};      // Linux: the link under /dev/serial/by-id that stays the same
                                 // whichever order devices are plugged in
    std::string vendorId{};      // USB vendor id, four lower-case hex digits (Linux)
    std::string productId{};     // USB product id, four lower-case hex digits (Linux)
    std::string serialNumber{};  // USB serial number string (Linux)
    std::string manufacturer{};  // USB manufacturer string (Linux)
    std::string product{};       // USB product string (Linux)
    std::string friendlyName{};  // Windows: the name Device Manager shows, "USB Serial Port (COM3)"
    std::string hardwareId{};    // Windows: the first hardware id, "USB\VID_0403&PID_6001&REV_0600"
};

// The fields by name in a fixed order, so that a writer can print a port field by field.
struct SerialPortField {
    std::string_view name;
    std::string SerialPortInfo::*value;
};

inline constexpr std::array<SerialPortField, 9> kSerialPortFields{{
    {"device", &SerialPortInfo::devicePath},
    {"by_id", &SerialPortInfo::byIdPath},
    {"vendor_id", &SerialPortInfo::vendorId},
    {"product_id", &SerialPortInfo::productId},
    {"serial_number", &SerialPortInfo::serialNumber},
    {"manufacturer", &SerialPortInfo::manufacturer},
    {"product", &SerialPortInfo::product},
    {"friendly_name", &SerialPortInfo::friendlyName},
    {"hardware_id", &SerialPortInfo::hardwareId},
}};

// The ports present now, sorted by device path in natural order. Empty when there are none or
// the system cannot be asked.
std::vector<SerialPortInfo> ListSerialPorts();

// Natural order: runs of digits compare by their value, so that ttyS2 comes before ttyS10 and
// COM2 before COM10; everything else compares byte by byte.
bool NaturalLess(std::string_view left, std::string_view right);

// Sorts ports by device path in natural order.
void SortPorts(std::vector<SerialPortInfo>& ports);

#if !defined(_WIN32)
// Where the Linux walk looks: sysfs and the device folder. Tests point them at a fake tree.
struct SerialPortRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};

// The ports of /sys/class/tty that have a device behind them and a node in the device folder,
// leaving out the serial-core ports that report no hardware (type 0, as the legacy ttyS ports the
// 8250 driver registers whether or not a UART answers). ListSerialPorts on POSIX is this with
// the real roots; without a sysfs (macOS) it finds nothing.
std::vector<SerialPortInfo> ListSerialPortsUnder(const SerialPortRoots& roots);
#endif
