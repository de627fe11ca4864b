// The channel over one TCP connection to the device.
#pragma once

#include <cstdint>

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
    int ConnectWithinLimit(std::uint32_t addressNetworkOrder);

    // The connect step's system calls and its time limit, in one place so that tests can shorten
    // the limit and stand in for failures that loopback cannot produce.
    struct ConnectSteps {
        // 0 when connected at once, else the socket error in Winsock numbering.
        int (*start)(platform::SocketHandle socket, std::uint32_t addressNetworkOrder,
                     std::uint16_t port);
        // >0 the connect finished, 0 the limit passed, <0 the wait failed.
        int (*wait)(platform::SocketHandle socket, int timeoutMilliseconds);
        int limitMilliseconds;
    };
    static ConnectSteps s_connectSteps;

    _socket_open_params m_params;
    platform::SocketHandle m_socket;
};
