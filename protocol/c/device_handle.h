// What a C handle of a device holds: the channel of its kind with the record that opens it, and
// one protocol object over that channel. Internal to the library.
#pragma once

#include <variant>

#include "qel.h"
#include "qel_protocol.h"
#include "serial_channel.h"
#include "socket_channel.h"

namespace qel::c {

struct TcpLink {
    explicit TcpLink(const _socket_open_params& record) : params(record) {}
    SocketChannel channel;
    _socket_open_params params;
};

struct SerialLink {
    SerialLink(const _serial_open_params& record, const char* devicePath)
        : channel(devicePath != nullptr ? SerialChannel(devicePath) : SerialChannel()),
          params(record) {}
    SerialChannel channel;
    _serial_open_params params;
};

}  // namespace qel::c

// Made once and never moved: the protocol object keeps a pointer to the channel.
struct qel_device {
    explicit qel_device(const _socket_open_params& params);
    qel_device(const _serial_open_params& params, const char* devicePath);
    ~qel_device();
    qel_device(const qel_device&) = delete;
    qel_device& operator=(const qel_device&) = delete;

    ICommChannel& Channel();
    // The channel's open-parameter record, as ICommChannel::Open takes it.
    void* OpenRecord();

    std::variant<qel::c::TcpLink, qel::c::SerialLink> link;
    QelProtocol protocol;
};
