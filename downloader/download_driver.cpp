#include "download_driver.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "attempt_loop.h"
#include "exit_status.h"
#include "orvane_print.h"
#include "qel_protocol.h"

namespace orvane {
namespace {

constexpr int kSerialReadTimeoutMs = 1000;
constexpr int kSocketReadTimeoutMs = 5000;
constexpr unsigned short kSocketLibraryVersion = 0x0202;

struct LoadedImage {
    std::unique_ptr<char[]> bytes;
    int first = 0;
    int end = 0;
};

bool LoadImage(const RunSettings& settings, ImageLoader loadImage, LoadedImage& loaded) {
    Print("\nLoading HEX file...");
    char* image = nullptr;
    const int result = loadImage(settings.filePath.c_str(), &image, &loaded.first, &loaded.end);
    if (result != 0) {
        Print("\nERROR: Cannot read HEX file.");
        return false;
    }
    loaded.bytes.reset(image);
    Print("\nDone.");
    if (loaded.first < kLowestDownloadAddress) {
        Print("\nFirst Address in HEX file is: 0x%x.", static_cast<unsigned>(loaded.first));
        Print("\nThe HEX is not suitable for remote downloading. Exit.\n");
        return false;
    }
    return true;
}

bool PrepareImage(QelProtocol& protocol, const LoadedImage& loaded) {
    Print("\nPrepare data buffer...");
    if (protocol.PrepareDataBuffer(loaded.bytes.get(), loaded.first, loaded.end) != 0) {
        Print("\nERROR: Cannot prepare data buffer.");
        return false;
    }
    Print("\nDone.");
    return true;
}

// The record that opens the channel, for either kind.
struct OpenParams {
    _serial_open_params serial{};
    _socket_open_params socket{};

    void* For(ChannelKind kind) {
        return kind == ChannelKind::kTcp ? static_cast<void*>(&socket)
                                         : static_cast<void*>(&serial);
    }
};

OpenParams MakeOpenParams(const RunSettings& settings) {
    OpenParams params;
    params.serial.port = settings.port;
    params.serial.timeout = kSerialReadTimeoutMs;
    params.socket.port = settings.port;
    params.socket.timeout = kSocketReadTimeoutMs;
    const std::size_t length = std::min(settings.address.size(), sizeof params.socket.address - 1);
    std::memcpy(params.socket.address, settings.address.data(), length);
    return params;
}

bool StartSocketLibrary(const RunSettings& settings, SocketLibraryStarter start) {
    if (settings.channelKind != ChannelKind::kTcp) {
        return true;
    }
    WSADATA data{};
    if (start(kSocketLibraryVersion, &data) != 0) {
        Print("WSA DLL was not found. Exit");
        return false;
    }
    return true;
}

}  // namespace

int RunDownload(const RunSettings& settings, const DownloadServices& services) {
    const std::shared_ptr<ICommChannel> channel = services.makeChannel(settings);
    if (!channel) {
        Print("\nERROR: Cannot create specified communication channel.");
        return kExitFailedBeforeRun;
    }
    LoadedImage loaded;
    if (!LoadImage(settings, services.loadImage, loaded)) {
        return kExitFailedBeforeRun;
    }
    QelProtocol protocol(channel.get(), settings.verifyMethod, settings.runMode, nullptr);
    if (!PrepareImage(protocol, loaded)) {
        return kExitFailedBeforeRun;
    }
    OpenParams params = MakeOpenParams(settings);
    if (!StartSocketLibrary(settings, services.startSocketLibrary)) {
        return kExitFailedBeforeRun;
    }
    return RunAttempts(settings, *channel, protocol, params.For(settings.channelKind));
}

}  // namespace orvane
