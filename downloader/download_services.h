// What the download driver needs from the outside world, replaceable so that tests can run the
// driver in-process against a fake or simulated device.
#pragma once

#include <functional>
#include <vector>

#include "channel_factory.h"
#include "channel_opening.h"
#include "serial_ports.h"

namespace orvane {

// As HL_ReadFile: 0 and an image of the caller's, or a failure code.
using ImageLoader = int (*)(const char* path, char** image, int* first, int* end);

using PortLister = std::function<std::vector<SerialPortInfo>()>;

struct DownloadServices {
    cli::ChannelFactory makeChannel;
    ImageLoader loadImage;
    cli::SocketLibraryStarter startSocketLibrary;
    PortLister listPorts;  // for /l, which downloads nothing
};

// The library's channels, HL_ReadFile, WSAStartup and the system's serial ports.
DownloadServices RealServices();

}  // namespace orvane
