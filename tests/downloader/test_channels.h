// Channels for the driver's tests: a scripted fake whose first opens fail and which keeps the
// open-parameter record it was given.
#pragma once

#include <cstring>

#include "channel_options.h"
#include "comm_channel.h"
#include "fake_channel.h"

namespace orvane_test {

class OpeningFakeChannel : public FakeChannel {
  public:
    explicit OpeningFakeChannel(cli::ChannelKind kind, int failingOpens = 0, int failureCode = 0)
        : m_kind(kind), m_failingOpens(failingOpens), m_failureCode(failureCode) {}

    int Open(void* params) override {
        if (m_kind == cli::ChannelKind::kTcp) {
            std::memcpy(&socketParams, params, sizeof socketParams);
        } else {
            std::memcpy(&serialParams, params, sizeof serialParams);
        }
        const int result = FakeChannel::Open(params);
        return ++m_opens <= m_failingOpens ? m_failureCode : result;
    }

    int CountOf(Call::Kind kind) const {
        int count = 0;
        for (const auto& call : Calls()) {
            count += call.kind == kind ? 1 : 0;
        }
        return count;
    }

    _serial_open_params serialParams{};
    _socket_open_params socketParams{};

  private:
    cli::ChannelKind m_kind;
    int m_failingOpens;
    int m_failureCode;
    int m_opens = 0;
};

}  // namespace orvane_test
