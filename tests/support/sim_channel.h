// A channel wired straight to the simulator's device model: every line written up to its CR is
// handed to the device at once, and its reply waits to be read. Nothing runs on another thread,
// so whole sequences with faults run in-process and deterministically.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>

#include "comm_channel.h"
#include "device_model.h"

class SimChannel : public ICommChannel {
  public:
    explicit SimChannel(qelsim::DeviceModel& device) : m_device(device) {}

    // What a channel reports when the reply it waits for does not come.
    static constexpr int kTimeoutCode = 5021;

    int Open(void*) override {
        ++m_opens;
        return 0;
    }
    void Close() override { ++m_closes; }

    int Write(char* data, int length) override {
        for (int i = 0; i < length; ++i) {
            if (data[i] == '\r') {
                if (auto reply = m_device.HandleRequest(m_line)) {
                    m_pending += *reply;
                }
                const auto waiting = std::count(m_pending.begin(), m_pending.end(), '\r');
                m_mostRepliesWaiting = std::max(m_mostRepliesWaiting, static_cast<int>(waiting));
                m_line.clear();
            } else {
                m_line.push_back(data[i]);
            }
        }
        return 0;
    }

    // Takes exactly length pending bytes, or none when fewer are pending.
    int Read(char* buffer, int length) override {
        const auto wanted = static_cast<std::size_t>(length);
        if (m_pending.size() < wanted) {
            return kTimeoutCode;
        }
        std::memcpy(buffer, m_pending.data(), wanted);
        m_pending.erase(0, wanted);
        return 0;
    }

    int Opens() const { return m_opens; }
    int Closes() const { return m_closes; }
    // The most replies that were ever waiting to be read: requests in flight.
    int MostRepliesWaiting() const { return m_mostRepliesWaiting; }
    // Reply bytes the device sent that no Read has taken yet.
    const std::string& Pending() const { return m_pending; }
    // Drops what is pending, as opening a real port does.
    void DiscardPending() { m_pending.clear(); }

  private:
    qelsim::DeviceModel& m_device;
    std::string m_line;
    std::string m_pending;
    int m_opens = 0;
    int m_closes = 0;
    int m_mostRepliesWaiting = 0;
};
