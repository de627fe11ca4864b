// What the download driver needs from the outside world, replaceable so that tests can run the
// driver in-process against a fake or simulated device.
#pragma once

#include <functional>
#include <memory>

#include "comm_channel.h"
#include "platform.h"
#include "run_settings.h"

namespace orvane {

// The channel is released through its own class (the interface has no virtual destructor),
// which a shared_ptr made from the concrete type remembers. Null when it cannot be made.
using ChannelFactory = std::function<std::shared_ptr<ICommChannel>(const RunSettings&)>;
// As HL_ReadFile: 0 and an image of the caller's, or a failure code.
using ImageLoader = int (*)(const char* path, char** image, int* first, int* end);
// As WSAStartup.
using SocketLibraryStarter = int (*)(unsigned short version, WSADATA* data);

struct DownloadServices {
    ChannelFactory makeChannel;
    ImageLoader loadImage;
    SocketLibraryStarter startSocketLibrary;
};

// A SocketChannel for TCP; a SerialChannel for serial, on the device path when one was given.
std::shared_ptr<ICommChannel> MakeRealChannel(const RunSettings& settings);

// The real channels, HL_ReadFile and WSAStartup.
DownloadServices RealServices();

}  // namespace orvane
