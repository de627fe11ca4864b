#include "device_handle.h"

#include "qel_protocol_settings.h"

qel_device::qel_device(const _socket_open_params& params)
    : link(std::in_place_type<qel::c::TcpLink>, params),
      protocol(&Channel(), qel::kVerifyMethodCrc16, qel::kRunModeAll, nullptr) {}

qel_device::qel_device(const _serial_open_params& params, const char* devicePath)
    : link(std::in_place_type<qel::c::SerialLink>, params, devicePath),
      protocol(&Channel(), qel::kVerifyMethodCrc16, qel::kRunModeAll, nullptr) {}

qel_device::~qel_device() {
    Channel().Close();
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
