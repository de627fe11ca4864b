#include "port_list.h"

#include <algorithm>
#include <string>

#include "orvane_print.h"

namespace orvane {
namespace {

constexpr std::size_t kColumnGap = 2;

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

using Row = std::vector<std::string>;

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

void PrintAligned(const std::vector<Row>& rows, qel::EventSink& sink) {
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    for (const Row& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            line.append(widths[i] + kColumnGap - row[i].size(), ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        Print(sink, QEL_EVENT_INFO, "\n%s", line.c_str());
    }
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
