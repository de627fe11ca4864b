// The channel a service command runs over. A factory makes it, so that tests can hand in a
// channel of their own; the program's factory makes a SerialChannel or a SocketChannel.
#pragma once

#include <functional>
#include <memory>

#include "channel_validation.h"
#include "comm_channel.h"

namespace service {

// Owns a channel of a concrete class: ICommChannel has no virtual destructor, so the channel
// must be destroyed through its own class.
class ChannelHandle {
  public:
    virtual ~ChannelHandle() = default;
    virtual ICommChannel& Channel() = 0;
};

template <class ConcreteChannel>
class OwnedChannel : public ChannelHandle {
  public:
    template <class... Arguments>
    explicit OwnedChannel(Arguments&&... arguments)
        : m_channel(std::forward<Arguments>(arguments)...) {}
    ICommChannel& Channel() override { return m_channel; }

  private:
    ConcreteChannel m_channel;
};

using ChannelFactory = std::function<std::unique_ptr<ChannelHandle>(const ChannelSettings&)>;

std::unique_ptr<ChannelHandle> MakeLibraryChannel(const ChannelSettings& settings);

// Read time-outs as Orvane uses them.
inline constexpr int kSerialTimeoutMs = 1000;
inline constexpr int kTcpTimeoutMs = 5000;

// Starts the socket library where needed and opens the channel; 0 or the failure code.
int OpenChannel(ICommChannel& channel, const ChannelSettings& settings);

}  // namespace service
