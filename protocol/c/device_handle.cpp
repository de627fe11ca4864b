#include "device_handle.h"

#include "qel_protocol_settings.h"

qel_device::qel_device(const _socket_open_params& params)
    : link(std::in_place_type<qel::c::TcpLink>, params),
      protocol(&Channel(), qel::kVerifyMethodCrc16, qel::kRunModeAll, nullptr) {
    protocol.SetEventSink(&events);
}

qel_device::qel_device(const _serial_open_params& params, const char* devicePath)
    : link(std::in_place_type<qel::c::SerialLink>, params, devicePath),
      protocol(&Channel(), qel::kVerifyMethodCrc16, qel::kRunModeAll, nullptr) {
    std::get_if<qel::c::SerialLink>(&link)->channel.SetEventSink(&events);
    protocol.SetEventSink(&events);
}

qel_device::~qel_device() {
    Close();
}

// get_if rather than visit: a handle always holds one of the two, and nothing of std::variant's
// exceptions need leave the library.
ICommChannel& qel_device::Channel() {
    if (auto* tcp = std::get_if<qel::c::TcpLink>(&link)) {
        return tcp->channel;
    }
    return std::get_if<qel::c::SerialLink>(&link)->channel;
}

void* qel_device::OpenRecord() {
    if (auto* tcp = std::get_if<qel::c::TcpLink>(&link)) {
        return &tcp->params;
    }
    return &std::get_if<qel::c::SerialLink>(&link)->params;
}

std::string qel_device::ConnectingLine() const {
    if (const auto* tcp = std::get_if<qel::c::TcpLink>(&link)) {
        return "\nConnecting " + std::string(tcp->params.address) + ":" +
               std::to_string(tcp->params.port) + "...";
    }
    const auto* serial = std::get_if<qel::c::SerialLink>(&link);
    const std::string port = "COM" + std::to_string(serial->params.port);
    if (serial->path.empty()) {
        return "\nConnecting " + port + " ...";
    }
    // A path given with no port number is named alone.
    return "\nConnecting " + serial->path + (serial->params.port > 0 ? " (" + port + ")" : "") +
           " ...";
}

int qel_device::Open() {
    if (m_open) {
        return qel::kOk;
    }
    const int result = Channel().Open(OpenRecord());
    m_open = result == qel::kOk;
    return result;
}

void qel_device::Close() {
    Channel().Close();
    m_open = false;
}
