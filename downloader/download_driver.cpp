#include "download_driver.h"

#include "download_link.h"
#include "qel_download.h"

namespace orvane {

int RunDownload(const RunSettings& settings, const DownloadServices& services,
                qel::EventSink& sink) {
    const DeviceLink device(settings.channel, services);
    return qel::DownloadFile(settings.filePath, device.Channel(), settings, sink, nullptr,
                             services.loadImage)
        .exitStatus;
}

}  // namespace orvane
