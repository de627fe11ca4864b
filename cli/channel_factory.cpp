#include "channel_factory.h"

#include <new>

#include "serial_channel.h"
#include "socket_channel.h"

namespace cli {
namespace {

void DestroyNothing(ICommChannel*) {}

}  // namespace

OwnedChannel BorrowChannel(ICommChannel& channel) {
    return OwnedChannel(&channel, &DestroyNothing);
}

OwnedChannel NoChannel() {
    return OwnedChannel(nullptr, &DestroyNothing);
}

OwnedChannel MakeLibraryChannel(const ChannelSettings& settings) {
    try {
        if (settings.kind == ChannelKind::kTcp) {
            return MakeOwnedChannel<SocketChannel>();
        }
        if (!settings.device.empty()) {
            return MakeOwnedChannel<SerialChannel>(settings.device.c_str());
        }
        return MakeOwnedChannel<SerialChannel>();
    } catch (const std::bad_alloc&) {
        return NoChannel();
    }
}

}  // namespace cli
