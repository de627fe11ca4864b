// The channel over one TCP connection to the device.
#pragma once

#include "comm_channel.h"
#include "platform.h"
#include "qel_export.h"

class QEL_API SocketChannel : public ICommChannel {
public:
    SocketChannel();
    SocketChannel(const SocketChannel& other);
    SocketChannel(SocketChannel&& other);
    SocketChannel& operator=(const SocketChannel& other);
    SocketChannel& operator=(SocketChannel&& other);
    ~SocketChannel();

    int Open(void* params) override;
    void Close() override;
    int Write(char* data, int length) override;
    int Read(char* buffer, int length) override;

private:
    friend class SocketChannelTestAccess;
    int OpenSocketAndConnect();
    int CloseSocket();
    bool IsSocketConnected(platform::SocketHandle socket);
    bool IsSocketReadable(platform::SocketHandle socket, int seconds);

    _socket_open_params m_params;
    platform::SocketHandle m_socket;
};
