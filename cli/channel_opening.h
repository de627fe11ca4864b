// What opening a channel takes: the open-parameter record with the read time-out of its kind,
// and, for TCP, the socket library started first.
#pragma once

#include <string>

#include "channel_options.h"
#include "comm_channel.h"
#include "platform.h"

namespace cli {

inline constexpr int kSerialReadTimeoutMs = 1000;
inline constexpr int kSocketReadTimeoutMs = 5000;
inline constexpr unsigned short kSocketLibraryVersion = 0x0202;

// The record that ICommChannel::Open takes for the settings' kind; the same record opens the
// channel again at every attempt.
class OpenParams {
  public:
    explicit OpenParams(const ChannelSettings& settings);
    void* Record();

  private:
    ChannelKind m_kind;
    _serial_open_params m_serial{};
    _socket_open_params m_socket{};
};

// The line that a download reports before every open: "\nConnecting 192.168.1.10:262..." for TCP,
// "\nConnecting COM1 ..." for a serial port, "\nConnecting /dev/ttyUSB0 (COM1) ..." for one
// named by its device path.
std::string ConnectingLine(const ChannelSettings& settings);

// As WSAStartup.
using SocketLibraryStarter = int (*)(unsigned short version, WSADATA* data);

// The system's WSAStartup.
SocketLibraryStarter SystemSocketLibraryStarter();

// Starts the socket library for a TCP channel with start; serial needs nothing. False when the
// library does not start.
bool StartSocketLibrary(ChannelKind kind, SocketLibraryStarter start);

}  // namespace cli
