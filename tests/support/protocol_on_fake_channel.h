// A protocol object on a fake channel, the way the engine's tests drive a single command.
#pragma once

#include <string>
#include <vector>

#include "fake_channel.h"
#include "protocol_access.h"

struct ProtocolOnFakeChannel {
    // The channel holds the replies, in their order, before the first request.
    explicit ProtocolOnFakeChannel(const std::vector<std::string>& replies = {},
                                   HWND window = nullptr)
        : protocol(&channel, 1, 1, window) {
        for (const std::string& reply : replies) {
            channel.QueueReply(reply);
        }
    }

    FakeChannel channel;
    QelProtocol protocol;
    QelProtocolTestAccess access{protocol};
};
