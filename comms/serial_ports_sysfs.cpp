// The ports of a Linux system from sysfs: every entry of class/tty with a device behind it, the
// USB device above that device for its ids and strings, and /dev/serial/by-id for the stable
// names udev gives them.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "serial_ports.h"

namespace {

namespace fs = std::filesystem;

// A sysfs attribute fills at most one page.
constexpr std::streamsize kLargestAttribute = 4096;
// The serial core's port type for "no UART here".
constexpr std::string_view kUnknownPortType = "0";

// The strings come from the device itself: control characters become '?' so that a device cannot
// send escape sequences to the operator's terminal.
std::string Printable(std::string text) {
    for (char& character : text) {
        const auto code = static_cast<unsigned char>(character);
        if (code < 0x20 || code == 0x7F) {
            character = '?';
        }
    }
    return text;
}

// The first line of an attribute file without the blanks around it, or empty when there is no
// such file.
std::string ReadAttribute(const fs::path& folder, const char* name) {
    std::ifstream in(folder / name, std::ios::binary);
    std::string text(static_cast<std::size_t>(kLargestAttribute), '\0');
    in.read(text.data(), kLargestAttribute);
    text.resize(std::min(static_cast<std::size_t>(in.gcount()), text.find('\n')));
    const std::size_t first = text.find_first_not_of(" \t\r");
    const std::size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string()
                                      : Printable(text.substr(first, last - first + 1));
}

// The entries of a folder, none when it cannot be read. Entries may vanish while a USB device is
// unplugged: an error part way ends the list instead of throwing.
std::vector<fs::path> EntriesOf(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error); !error && entry != fs::directory_iterator();
         entry.increment(error)) {
        entries.push_back(entry->path());
    }
    return entries;
}

std::optional<fs::path> Resolved(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    if (error) {
        return std::nullopt;
    }
    return resolved;
}

// The USB device (the folder with idVendor) at or above a port's device: the interface's parent
// for a USB serial converter's port and for an ACM interface alike. Stops at the sysfs root.
std::optional<fs::path> UsbDeviceAbove(fs::path folder, const fs::path& sysRoot) {
    while (folder != sysRoot && folder != folder.parent_path()) {
        std::error_code error;
        if (fs::is_regular_file(folder / "idVendor", error)) {
            return folder;
        }
        folder = folder.parent_path();
    }
    return std::nullopt;
}

// Each device a by-id link leads to, by its resolved path, with the link's own path.
std::map<fs::path, std::string> ByIdLinks(const fs::path& devRoot) {
    std::map<fs::path, std::string> links;
    for (const fs::path& link : EntriesOf(devRoot / "serial" / "by-id")) {
        if (const std::optional<fs::path> target = Resolved(link)) {
            links.emplace(*target, link.string());
        }
    }
    return links;
}

void AddUsbDetails(const fs::path& usbDevice, SerialPortInfo& port) {
    port.vendorId = ReadAttribute(usbDevice, "idVendor");
    port.productId = ReadAttribute(usbDevice, "idProduct");
    port.serialNumber = ReadAttribute(usbDevice, "serial");
    port.manufacturer = ReadAttribute(usbDevice, "manufacturer");
    port.product = ReadAttribute(usbDevice, "product");
}

// The port of one class/tty entry; nothing when no device stands behind it (virtual consoles,
// the console and ptmx have none), when the serial core says there is no UART, or when the
// device folder has no node for it (a container may see the host's sysfs but not its devices).
std::optional<SerialPortInfo> PortOf(const fs::path& entry, const fs::path& sysRoot,
                                     const fs::path& devRoot,
                                     const std::map<fs::path, std::string>& byIdLinks) {
    const std::optional<fs::path> device = Resolved(entry / "device");
    const fs::path node = devRoot / entry.filename();
    std::error_code error;
    if (!device || ReadAttribute(entry, "type") == kUnknownPortType || !fs::exists(node, error)) {
        return std::nullopt;
    }
    SerialPortInfo port;
    port.devicePath = node.string();
    if (const std::optional<fs::path> resolvedNode = Resolved(node)) {
        const auto link = byIdLinks.find(*resolvedNode);
        port.byIdPath = link != byIdLinks.end() ? link->second : std::string();
    }
    if (const std::optional<fs::path> usbDevice = UsbDeviceAbove(*device, sysRoot)) {
        AddUsbDetails(*usbDevice, port);
    }
    return port;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPortsUnder(const SerialPortRoots& roots) {
    std::vector<SerialPortInfo> ports;
    const std::optional<fs::path> sysRoot = Resolved(roots.sys);
    if (!sysRoot) {
        return ports;
    }
    const fs::path devRoot = roots.dev;
    const std::map<fs::path, std::string> byIdLinks = ByIdLinks(devRoot);
    for (const fs::path& entry : EntriesOf(*sysRoot / "class" / "tty")) {
        if (std::optional<SerialPortInfo> port = PortOf(entry, *sysRoot, devRoot, byIdLinks)) {
            ports.push_back(std::move(*port));
        }
    }
    SortPorts(ports);
    return ports;
}

std::vector<SerialPortInfo> ListSerialPorts() {
    return ListSerialPortsUnder(SerialPortRoots());
}
