#include "download_driver.h"

#include <memory>
#include <string>

#include "attempt_loop.h"
#include "exit_status.h"
#include "input_file.h"
#include "orvane_print.h"
#include "qel_protocol.h"

namespace orvane {
namespace {

struct LoadedImage {
    std::unique_ptr<char[]> bytes;
    int first = 0;
    int end = 0;
};

// A named pipe without a writer would block the reader for ever. Directories and missing files
// fail at once in the reader, with its own messages.
bool IsRefusedBeforeOpening(const std::string& path) {
    const cli::InputKind kind = cli::KindOfInput(path);
    if (kind == cli::InputKind::kMissing || kind == cli::InputKind::kDirectory ||
        cli::IsReadableKind(kind)) {
        return false;
    }
    Print("\nERROR: File '%s' %s.", path.c_str(), cli::NotReadableReason(kind).c_str());
    return true;
}

bool LoadImage(const RunSettings& settings, ImageLoader loadImage, LoadedImage& loaded) {
    Print("\nLoading HEX file...");
    char* image = nullptr;
    if (IsRefusedBeforeOpening(settings.filePath) ||
        loadImage(settings.filePath.c_str(), &image, &loaded.first, &loaded.end) != 0) {
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

bool StartSocketLibrary(const RunSettings& settings, cli::SocketLibraryStarter start) {
    if (!cli::StartSocketLibrary(settings.channel.kind, start)) {
        Print("WSA DLL was not found. Exit");
        return false;
    }
    return true;
}

}  // namespace

int RunDownload(const RunSettings& settings, const DownloadServices& services) {
    const cli::OwnedChannel channel = services.makeChannel(settings.channel);
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
    cli::OpenParams params(settings.channel);
    if (!StartSocketLibrary(settings, services.startSocketLibrary)) {
        return kExitFailedBeforeRun;
    }
    return RunAttempts(settings, *channel, protocol, params.Record());
}

}  // namespace orvane
