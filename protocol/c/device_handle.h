// What a C handle of a device holds: the channel of its kind with the record that opens it, one
// protocol object over that channel, where its events go and the cancel flag of its downloads.
// Internal to the library.
#pragma once

#include <atomic>
#include <string>
#include <variant>

#include "callback_sink.h"
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
          params(record),
          path(devicePath != nullptr ? devicePath : "") {}
    SerialChannel channel;
    _serial_open_params params;
    std::string path;  // empty: the record's COM port
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
    // What a download reports before each open: "\nConnecting 192.168.1.10:262...".
    std::string ConnectingLine() const;

    // Opens the channel again when a download has closed it; 0 or the channel's failure code.
    int Open();
    void Close();
    // A command of the protocol object on the open channel.
    template <class Command>
    int WhenOpen(Command&& command) {
        const int opened = Open();
        return opened != 0 ? opened : command(protocol);
    }

    // Before the channel and the protocol object, which report to it.
    qel::c::CallbackSink events;
    std::variant<qel::c::TcpLink, qel::c::SerialLink> link;
    QelProtocol protocol;
    std::atomic<bool> cancel{false};

  private:
    bool m_open = false;
};
