#include "service_channel.h"

#include <cstring>

#include "platform.h"
#include "qel_codes.h"
#include "serial_channel.h"
#include "socket_channel.h"

namespace service {

std::unique_ptr<ChannelHandle> MakeLibraryChannel(const ChannelSettings& settings) {
    if (settings.kind == ChannelKind::kTcp) {
        return std::make_unique<OwnedChannel<SocketChannel>>();
    }
    if (!settings.device.empty()) {
        return std::make_unique<OwnedChannel<SerialChannel>>(settings.device.c_str());
    }
    return std::make_unique<OwnedChannel<SerialChannel>>();
}

int OpenChannel(ICommChannel& channel, const ChannelSettings& settings) {
    if (settings.kind == ChannelKind::kSerial) {
        _serial_open_params params{settings.port, kSerialTimeoutMs};
        return channel.Open(&params);
    }
    WSADATA data;
    if (WSAStartup(0x0202, &data) != 0) {
        return qel::kErrSocketCreate;  // no socket can be made without the library
    }
    _socket_open_params params{};
    params.port = settings.port;
    params.timeout = kTcpTimeoutMs;
    // Validation has kept the address within the record's 23 characters.
    std::strncpy(params.address, settings.address.c_str(), sizeof params.address - 1);
    return channel.Open(&params);
}

}  // namespace service
