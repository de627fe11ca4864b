// The channel over one TCP connection to the device.
#pragma once

#include <cstdint>

#include "comm_channel.h"
#include "qel_export.h"

class QEL_API SocketChannel : public ICommChannel {
  public:
    // Every channel object starts the system's socket library for itself (Windows counts the
    // starts, so a caller's own WSAStartup stays harmless) and ends its start when destroyed.
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

    // The system's socket handle (SOCKET on Windows, a descriptor elsewhere); all bits set when
    // the channel holds none.
    using SocketHandle = std::uintptr_t;

    int OpenSocketAndConnect();
    int CloseSocket();
    bool IsSocketConnected(SocketHandle socket);
    int ConnectWithinLimit(std::uint32_t addressNetworkOrder);

    // The connect step's system calls and its time limit, in one place so that tests can shorten
    // the limit and stand in for failures that loopback cannot produce.
    struct ConnectSteps {
        // 0 when connected at once, else the socket error in Winsock numbering.
        int (*start)(SocketHandle socket, std::uint32_t addressNetworkOrder, std::uint16_t port);
        // >0 the connect finished, 0 the limit passed, <0 the wait failed.
        int (*wait)(SocketHandle socket, int timeoutMilliseconds);
        int limitMilliseconds;
    };
    static ConnectSteps s_connectSteps;

    // Pieces sent without their request's CR are held back until the channel waits for the
    // reply, so that they leave together.
    void ReleaseOutput();

    _socket_open_params m_params;
    SocketHandle m_socket;
    bool m_socketLibraryStarted;
    bool m_outputHeld;
    // The receive time-out last set on the socket. A copy sets its own again before it reads
    // (copies share the socket).
    static constexpr int kNoReceiveTimeout = -1;
    int m_receiveTimeoutSet;
};
