#include "download_services.h"

#include <new>

#include "hex_file.h"
#include "serial_channel.h"
#include "socket_channel.h"

namespace orvane {

std::shared_ptr<ICommChannel> MakeRealChannel(const RunSettings& settings) {
    try {
        if (settings.channelKind == ChannelKind::kTcp) {
            return std::make_shared<SocketChannel>();
        }
        if (!settings.devicePath.empty()) {
            return std::make_shared<SerialChannel>(settings.devicePath.c_str());
        }
        return std::make_shared<SerialChannel>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Lambdas rather than the functions themselves: the loader has C linkage and the socket start
// its own calling convention on 32-bit Windows.
DownloadServices RealServices() {
    return {&MakeRealChannel,
            [](const char* path, char** image, int* first, int* end) {
                return HL_ReadFile(path, image, first, end);
            },
            [](unsigned short version, WSADATA* data) { return WSAStartup(version, data); }};
}

}  // namespace orvane
