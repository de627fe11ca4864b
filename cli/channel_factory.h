// Makes the channel a command line asks for, with one way of owning it.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "channel_options.h"
#include "comm_channel.h"

namespace cli {

// ICommChannel has no virtual destructor, so its owner destroys the channel through the
// deleter, which knows the concrete class.
using ChannelDeleter = void (*)(ICommChannel*);
using OwnedChannel = std::unique_ptr<ICommChannel, ChannelDeleter>;

// Made and destroyed through an allocator of the concrete class, as make_shared does: a plain
// delete of a class with virtual functions and no virtual destructor is refused by the compiler.
template <class Channel, class... Arguments>
OwnedChannel MakeOwnedChannel(Arguments&&... arguments) {
    std::allocator<Channel> allocator;
    Channel* channel = allocator.allocate(1);
    try {
        std::construct_at(channel, std::forward<Arguments>(arguments)...);
    } catch (...) {
        allocator.deallocate(channel, 1);
        throw;
    }
    return OwnedChannel(channel, [](ICommChannel* made) {
        Channel* concrete = static_cast<Channel*>(made);
        std::destroy_at(concrete);
        std::allocator<Channel>().deallocate(concrete, 1);
    });
}

// A channel that stays its caller's: the owner uses it and destroys nothing.
OwnedChannel BorrowChannel(ICommChannel& channel);

// No channel: what a factory returns when it cannot make one.
OwnedChannel NoChannel();

using ChannelFactory = std::function<OwnedChannel(const ChannelSettings&)>;

// A SocketChannel for TCP; a SerialChannel for serial, on the device path when one was given.
// No channel when there is no memory for it.
OwnedChannel MakeLibraryChannel(const ChannelSettings& settings);

}  // namespace cli
