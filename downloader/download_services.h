// What the download driver needs from the outside world, replaceable so that tests can run the
// driver in-process against a fake or simulated device.
#pragma once

#include "channel_factory.h"
#include "channel_opening.h"

namespace orvane {

// As HL_ReadFile: 0 and an image of the caller's, or a failure code.
using ImageLoader = int (*)(const char* path, char** image, int* first, int* end);

struct DownloadServices {
    cli::ChannelFactory makeChannel;
    ImageLoader loadImage;
    cli::SocketLibraryStarter startSocketLibrary;
};

// The library's channels, HL_ReadFile and WSAStartup.
DownloadServices RealServices();

}  // namespace orvane
