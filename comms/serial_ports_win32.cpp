// The COM ports of a Windows system: their names from the registry's SERIALCOMM map, which every
// serial driver fills, and what Device Manager knows of them (friendly name, hardware id) from
// the Ports device class through SetupAPI.
#include <windows.h>

#include <setupapi.h>

#include <algorithm>

#include "serial_ports.h"

namespace {

// The Ports device class (COM and LPT ports), {4D36E978-E325-11CE-BFC1-08002BE10318}.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// Registry strings longer than this are not port names or device descriptions.
constexpr DWORD kLargestString = 1024;

// The text of a string value up to its first terminating zero; REG_MULTI_SZ gives its first
// string.
std::string TextOf(const char* data, DWORD size) {
    const std::string text(data, size);
    return text.substr(0, text.find('\0'));
}

bool IsComName(const std::string& name) {
    return name.size() > 3 && name.compare(0, 3, "COM") == 0;
}

std::vector<std::string> SerialCommNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char valueName[256];
        DWORD valueNameSize = sizeof valueName;
        char data[kLargestString];
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result == ERROR_SUCCESS && type == REG_SZ && IsComName(TextOf(data, dataSize))) {
            names.push_back(TextOf(data, dataSize));
        }
    }
    RegCloseKey(key);
    return names;
}

std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA& device, DWORD property) {
    char data[kLargestString];
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(devices, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(data), sizeof data, &size)) {
        return std::string();
    }
    return TextOf(data, std::min<DWORD>(size, sizeof data));
}

// The COM name the device's own registry key gives it ("COM3"; "LPT1" for a printer port).
std::string PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return std::string();
    }
    char data[kLargestString];
    DWORD size = sizeof data;
    DWORD type = 0;
    const LONG result =
        RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? TextOf(data, size) : std::string();
}

// The port with this device path, added when the list has none yet.
SerialPortInfo& PortNamed(std::vector<SerialPortInfo>& ports, const std::string& name) {
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const SerialPortInfo& port) {
        return port.devicePath == name;
    });
    if (found != ports.end()) {
        return *found;
    }
    ports.push_back(SerialPortInfo{});
    ports.back().devicePath = name;
    return ports.back();
}

void AddDeviceManagerDetails(std::vector<SerialPortInfo>& ports) {
    HDEVINFO devices = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const std::string name = PortNameOf(devices, device);
        if (!IsComName(name)) {
            continue;
        }
        SerialPortInfo& port = PortNamed(ports, name);
        port.friendlyName = DeviceProperty(devices, device, SPDRP_FRIENDLYNAME);
        port.hardwareId = DeviceProperty(devices, device, SPDRP_HARDWAREID);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
    std::vector<SerialPortInfo> ports;
    for (const std::string& name : SerialCommNames()) {
        PortNamed(ports, name);
    }
    AddDeviceManagerDetails(ports);
    SortPorts(ports);
    return ports;
}
