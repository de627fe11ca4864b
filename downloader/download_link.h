// One device's channel as a download takes it: the channel object that the services make for the
// settings, its open-parameter record, the "Connecting" line and the socket library's start.
#pragma once

#include "channel_opening.h"
#include "download_services.h"
#include "qel_download.h"

namespace orvane {

class DeviceLink {
  public:
    // Keeps references to settings and services: both must outlive the link.
    DeviceLink(const cli::ChannelSettings& settings, const DownloadServices& services);
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Its channel is null when the services could not make one.
    const qel::DownloadChannel& Channel() const { return m_download; }

  private:
    cli::OwnedChannel m_channel;
    cli::OpenParams m_params;
    qel::DownloadChannel m_download;
};

}  // namespace orvane
