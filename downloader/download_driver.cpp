#include "download_driver.h"

#include "qel_download.h"

namespace orvane {

int RunDownload(const RunSettings& settings, const DownloadServices& services,
                qel::EventSink& sink) {
    const cli::OwnedChannel channel = services.makeChannel(settings.channel);
    cli::OpenParams params(settings.channel);
    qel::DownloadChannel device;
    device.channel = channel.get();
    device.openRecord = params.Record();
    device.connectingLine = cli::ConnectingLine(settings.channel);
    // A serial line says its speed; any other channel keeps its own time-out.
    device.lineTiming = dynamic_cast<ILineTiming*>(channel.get());
    device.startSocketLibrary = [&settings, &services] {
        return cli::StartSocketLibrary(settings.channel.kind, services.startSocketLibrary);
    };
    return qel::DownloadFile(settings.filePath, device, settings, sink, nullptr, services.loadImage)
        .exitStatus;
}

}  // namespace orvane
