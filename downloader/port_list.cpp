#include "port_list.h"

#include <algorithm>
#include <string>

#include "aligned_rows.h"
#include "orvane_print.h"

namespace orvane {
namespace {

std::string UsbIds(const SerialPortInfo& port) {
    if (port.vendorId.empty() && port.productId.empty()) {
        return std::string();
    }
    return port.vendorId + ":" + port.productId;
}

struct Column {
    const char* heading;
    std::string (*text)(const SerialPortInfo& port);
};

constexpr Column kColumns[] = {
    {"device", [](const SerialPortInfo& port) { return port.devicePath; }},
    {"by-id", [](const SerialPortInfo& port) { return port.byIdPath; }},
    {"vid:pid", &UsbIds},
    {"serial", [](const SerialPortInfo& port) { return port.serialNumber; }},
    {"manufacturer", [](const SerialPortInfo& port) { return port.manufacturer; }},
    {"product", [](const SerialPortInfo& port) { return port.product; }},
    {"name", [](const SerialPortInfo& port) { return port.friendlyName; }},
    {"hardware id", [](const SerialPortInfo& port) { return port.hardwareId; }},
};

// The heading row and a row a port, with only the columns that some port fills; the device
// column always stands.
std::vector<Row> TableOf(const std::vector<SerialPortInfo>& ports) {
    std::vector<Row> rows(ports.size() + 1);
    for (const Column& column : kColumns) {
        const bool filled =
            &column == &kColumns[0] ||
            std::any_of(ports.begin(), ports.end(),
                        [&](const SerialPortInfo& port) { return !column.text(port).empty(); });
        if (!filled) {
            continue;
        }
        rows[0].emplace_back(column.heading);
        for (std::size_t i = 0; i < ports.size(); ++i) {
            rows[i + 1].push_back(column.text(ports[i]));
        }
    }
    return rows;
}

}  // namespace

void PrintPortList(const std::vector<SerialPortInfo>& ports, qel::EventSink& sink) {
    if (ports.empty()) {
        Print(sink, QEL_EVENT_INFO, "\n\nNo serial ports found.\n");
        return;
    }
    Print(sink, QEL_EVENT_INFO, "\n\nSerial ports:");
    PrintAligned(TableOf(ports), sink);
    Print(sink, QEL_EVENT_INFO, "\n");
}

void WritePortList(const std::vector<SerialPortInfo>& ports, cli::JsonLinesSink& json) {
    for (const SerialPortInfo& port : ports) {
        cli::JsonObject object = json.Begin("port");
        for (const SerialPortField& field : kSerialPortFields) {
            object.Add(field.name, port.*field.value);
        }
        json.Write(object);
    }
}

}  // namespace orvane
