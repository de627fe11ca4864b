#include "download_link.h"

namespace orvane {

DeviceLink::DeviceLink(const cli::ChannelSettings& settings, const DownloadServices& services)
    : m_channel(services.makeChannel(settings)), m_params(settings) {
    m_download.channel = m_channel.get();
    m_download.openRecord = m_params.Record();
    m_download.connectingLine = cli::ConnectingLine(settings);
    // A serial line says its speed; any other channel keeps its own time-out.
    m_download.lineTiming = dynamic_cast<ILineTiming*>(m_channel.get());
    m_download.startSocketLibrary = [&settings, &services] {
        return cli::StartSocketLibrary(settings.kind, services.startSocketLibrary);
    };
}

}  // namespace orvane
