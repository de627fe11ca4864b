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

ICommChannel& qel_device::Channel() {
    return std::visit([](auto& held) -> ICommChannel& { return held.channel; }, link);
}

void* qel_device::OpenRecord() {
    return std::visit([](auto& held) -> void* { return &held.params; }, link);
}
