// The Linux port list against a fake sysfs and device folder, laid out as the kernel and udev lay
// them out; and the natural order the list comes in.
#include "serial_ports.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "case_name.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

using Attributes = std::map<std::string, std::string>;

// sys/class/tty entries are links into sys/devices, each with a `device` link up to the device the
// port belongs to; dev holds the nodes and udev's by-id links.
class FakeSystem {
  public:
    FakeSystem() {
        fs::create_directories(Sys() / "class" / "tty");
        fs::create_directories(Dev() / "serial" / "by-id");
        m_roots.sys = Sys().string();
        m_roots.dev = Dev().string();
    }
    const SerialPortRoots& Roots() const { return m_roots; }

    // A folder under sys with an attribute file for each entry, written as sysfs ends them.
    void Device(const std::string& path, const Attributes& attributes = {}) const {
        fs::create_directories(Sys() / path);
        for (const auto& [name, value] : attributes) {
            std::ofstream(Sys() / path / name) << value << '\n';
        }
    }

    // The tty name of the device at devicePath (none: a virtual tty), with its attributes and,
    // when withNode, its node in dev.
    void Tty(const std::string& name, const std::string& devicePath, const Attributes& attributes,
             bool withNode = true) const {
        const std::string parent = devicePath.empty() ? "devices/virtual" : devicePath;
        const std::string ttyPath = parent + "/tty/" + name;
        Device(ttyPath, attributes);
        if (!devicePath.empty()) {
            fs::create_directory_symlink("../..", Sys() / ttyPath / "device");
        }
        fs::create_directory_symlink("../../" + ttyPath, Sys() / "class" / "tty" / name);
        if (withNode) {
            std::ofstream(Dev() / name).put('\0');
        }
    }

    void ByIdLink(const std::string& link, const std::string& name) const {
        fs::create_symlink("../../" + name, Dev() / "serial" / "by-id" / link);
    }

  private:
    fs::path Sys() const { return fs::path(m_folder.Path()) / "sys"; }
    fs::path Dev() const { return fs::path(m_folder.Path()) / "dev"; }

    TempDir m_folder;
    SerialPortRoots m_roots;
};

const std::string kRootHub = "devices/pci0000:00/0000:00:14.0/usb1";
const std::string kFtdi = kRootHub + "/1-2";
const std::string kFtdiPort = kFtdi + "/1-2:1.0/ttyUSB0";
const std::string kArduino = kRootHub + "/1-3";
const std::string kArduinoInterface = kArduino + "/1-3:1.0";
const std::string kPnpUart = "devices/pnp0/00:00/00:00:0/00:00:0.0";
const std::string kLegacyUart = "devices/platform/serial8250/serial8250:0/serial8250:0.1";
const std::string kFtdiById = "usb-FTDI_FT232R_USB_UART_A9XYZ-if00-port0";

// Every USB device lies below a root hub, which has ids of its own.
void AddRootHub(const FakeSystem& system) {
    system.Device(kRootHub, {{"idVendor", "1d6b"}, {"idProduct", "0003"}});
}

void AddFtdiAdapter(const FakeSystem& system) {
    AddRootHub(system);
    system.Device(kFtdi, {{"idVendor", "0403"},
                          {"idProduct", "6001"},
                          {"serial", "A9XYZ"},
                          {"manufacturer", "FTDI "},
                          {"product", "FT232R USB UART"}});
    system.Device(kFtdi + "/1-2:1.0", {{"bInterfaceClass", "ff"}});
    system.Tty("ttyUSB0", kFtdiPort, {});
    system.ByIdLink(kFtdiById, "ttyUSB0");
}

// An ACM interface holds its tty directly; this one's product string carries an escape.
void AddAcmDevice(const FakeSystem& system) {
    AddRootHub(system);
    system.Device(kArduino,
                  {{"idVendor", "2341"}, {"idProduct", "0043"}, {"product", "Uno\x1b[2J"}});
    system.Device(kArduinoInterface, {{"bInterfaceClass", "02"}});
    system.Tty("ttyACM0", kArduinoInterface, {});
}

// A 16550A on the main board, and a legacy port the 8250 driver registers with no UART behind.
void AddBoardPorts(const FakeSystem& system) {
    system.Tty("ttyS0", kPnpUart, {{"type", "4"}});
    system.Tty("ttyS1", kLegacyUart, {{"type", "0"}});
}

// A virtual console, and a port the host has whose node this system (a container) does not.
void AddPortsThatCannotBeOpened(const FakeSystem& system) {
    system.Tty("tty0", "", {});
    AddRootHub(system);
    system.Device(kRootHub + "/1-4", {{"idVendor", "10c4"}, {"idProduct", "ea60"}});
    system.Tty("ttyUSB1", kRootHub + "/1-4/1-4:1.0/ttyUSB1", {}, false);
}

void AddManyBoardPorts(const FakeSystem& system) {
    for (const char* name : {"ttyS10", "ttyS2", "ttyS0", "ttyS1"}) {
        system.Tty(name, "devices/platform/serial8250/" + std::string(name), {{"type", "4"}});
    }
}

SerialPortInfo Port(const std::string& devicePath) {
    return {.devicePath = devicePath};
}

SerialPortInfo FtdiPort() {
    return {.devicePath = "/dev/ttyUSB0",
            .byIdPath = "/dev/serial/by-id/" + kFtdiById,
            .vendorId = "0403",
            .productId = "6001",
            .serialNumber = "A9XYZ",
            .manufacturer = "FTDI",
            .product = "FT232R USB UART"};
}

SerialPortInfo AcmPort() {
    return {.devicePath = "/dev/ttyACM0",
            .vendorId = "2341",
            .productId = "0043",
            .product = "Uno?[2J"};
}

// Expected paths are written under /dev; the fake one lies elsewhere.
std::string Rooted(const std::string& path, const SerialPortRoots& roots) {
    const std::string dev = "/dev";
    return path.compare(0, dev.size(), dev) == 0 ? roots.dev + path.substr(dev.size()) : path;
}

struct ListCase {
    const char* name;
    void (*build)(const FakeSystem& system);
    std::vector<SerialPortInfo> expected;
};

class SysfsPortList : public testing::TestWithParam<ListCase> {};

TEST_P(SysfsPortList, FindsThePortsWithTheirDetails) {
    const FakeSystem system;
    GetParam().build(system);
    const std::vector<SerialPortInfo> ports = ListSerialPortsUnder(system.Roots());
    ASSERT_EQ(ports.size(), GetParam().expected.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        for (const SerialPortField& field : kSerialPortFields) {
            EXPECT_EQ(ports[i].*field.value,
                      Rooted(GetParam().expected[i].*field.value, system.Roots()))
                << "port " << i << ", " << field.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Linux, SysfsPortList,
    testing::Values(
        ListCase{"UsbAdapterWithByIdLinkAndStrings", &AddFtdiAdapter, {FtdiPort()}},
        ListCase{"AcmInterfaceWithControlCharactersMasked", &AddAcmDevice, {AcmPort()}},
        ListCase{"BoardPortWithoutUsbAndNoneWithoutUart", &AddBoardPorts, {Port("/dev/ttyS0")}},
        ListCase{"NothingThatCannotBeOpened", &AddPortsThatCannotBeOpened, {}},
        ListCase{"NaturalOrder",
                 [](const FakeSystem& system) {
                     AddManyBoardPorts(system);
                     AddFtdiAdapter(system);
                     AddAcmDevice(system);
                 },
                 {AcmPort(), Port("/dev/ttyS0"), Port("/dev/ttyS1"), Port("/dev/ttyS2"),
                  Port("/dev/ttyS10"), FtdiPort()}}),
    CaseName());

TEST(SysfsPortList, NoSysfsListsNothing) {
    const TempDir folder;
    EXPECT_TRUE(ListSerialPortsUnder({folder.Path("sys"), folder.Path("dev")}).empty());
}

TEST(NaturalOrder, CountsDigitRunsByValue) {
    const std::vector<std::pair<const char*, const char*>> ascending = {
        {"COM2", "COM10"},
        {"ttyS2", "ttyS10"},
        {"ttyACM9", "ttyS0"},
        {"ttyS01", "ttyS1"},
        {"ttyS9", "ttyS009x"},
        {"ttyUSB", "ttyUSB0"},
        {"a99999999999999999999", "a100000000000000000000"},
    };
    for (const auto& [lower, higher] : ascending) {
        EXPECT_TRUE(NaturalLess(lower, higher)) << lower << " < " << higher;
        EXPECT_FALSE(NaturalLess(higher, lower)) << higher << " > " << lower;
    }
    EXPECT_FALSE(NaturalLess("COM3", "COM3"));
}

}  // namespace
