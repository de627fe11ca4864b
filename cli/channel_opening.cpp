#include "channel_opening.h"

#include <algorithm>
#include <cstring>

namespace cli {

OpenParams::OpenParams(const ChannelSettings& settings) : m_kind(settings.kind) {
    m_serial.port = settings.port;
    m_serial.timeout = kSerialReadTimeoutMs;
    m_socket.port = settings.port;
    m_socket.timeout = kSocketReadTimeoutMs;
    const std::size_t length = std::min(settings.address.size(), sizeof m_socket.address - 1);
    std::memcpy(m_socket.address, settings.address.data(), length);
}

void* OpenParams::Record() {
    return m_kind == ChannelKind::kTcp ? static_cast<void*>(&m_socket)
                                       : static_cast<void*>(&m_serial);
}

std::string ConnectingLine(const ChannelSettings& settings) {
    if (settings.kind == ChannelKind::kTcp) {
        return "\nConnecting " + settings.address + ":" + std::to_string(settings.port) + "...";
    }
    const std::string port = "COM" + std::to_string(settings.port);
    if (!settings.device.empty()) {
        return "\nConnecting " + settings.device + " (" + port + ") ...";
    }
    return "\nConnecting " + port + " ...";
}

// A lambda rather than WSAStartup itself: the system's has its own calling convention on
// 32-bit Windows.
SocketLibraryStarter SystemSocketLibraryStarter() {
    return [](unsigned short version, WSADATA* data) { return WSAStartup(version, data); };
}

bool StartSocketLibrary(ChannelKind kind, SocketLibraryStarter start) {
    if (kind != ChannelKind::kTcp) {
        return true;
    }
    WSADATA data{};
    return start(kSocketLibraryVersion, &data) == 0;
}

}  // namespace cli
