// What the download driver needs from the outside world, replaceable so that tests can run the
// driver in-process against a fake or simulated device.
#pragma once

#include <functional>
#include <vector>

#include "channel_factory.h"
#include "channel_opening.h"
#include "qel_download.h"
#include "serial_ports.h"

namespace orvane {

using PortLister = std::function<std::vector<SerialPortInfo>()>;

struct DownloadServices {
    cli::ChannelFactory makeChannel;
    qel::ImageLoader loadImage;  // null: the library's own reader
    cli::SocketLibraryStarter startSocketLibrary;
    PortLister listPorts;  // for /l, which downloads nothing
};

// The library's channels and reader, WSAStartup and the system's serial ports.
DownloadServices RealServices();

}  // namespace orvane
