// A channel to the simulator's device on its line, with the line's faults as qel-sim has them
// (late, slow, duplicate and stray replies, noise, a connection dropped on reset), on a clock of
// its own: a Read that waits moves the clock on, by the channel's time-out at most, so that a slow
// reply arrives late without anyone sleeping. Each Open is a new connection, as over TCP.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "comm_channel.h"
#include "device_link.h"
#include "device_model.h"
#include "qel_codes.h"

class SimLinkChannel : public ICommChannel, public ILineTiming {
  public:
    static constexpr int kTimeoutCode = qel::kErrReadTimeout;  // the socket channel's codes
    static constexpr int kClosedCode = qel::kErrReadClosed;
    static constexpr int kSendCode = qel::kErrWrite;

    SimLinkChannel(qelsim::DeviceModel& device, qelsim::TransportFaults faults,
                   int timeoutMs = 5000, int charactersPerSecond = 0)
        : m_simulated(device, m_outputs, std::move(faults)),
          m_timeoutMs(timeoutMs),
          m_charactersPerSecond(charactersPerSecond) {}

    int Open(void*) override {
        ++m_opens;
        m_link = std::make_unique<qelsim::DeviceLink>(m_simulated, m_now);
        m_pending.clear();
        return 0;
    }
    void Close() override {
        ++m_closes;
        m_link.reset();
        m_pending.clear();
    }
    int Write(char* data, int length) override {
        if (!m_link || m_link->Ended()) {
            return kSendCode;
        }
        m_link->Receive(std::string_view(data, static_cast<std::size_t>(length)), m_now);
        Pump();
        return 0;
    }
    // Waits for exactly length characters; what came before a time-out stays for the next Read.
    int Read(char* buffer, int length) override {
        if (!m_link) {
            return kTimeoutCode;
        }
        const auto wanted = static_cast<std::size_t>(length);
        const auto deadline = m_now + std::chrono::milliseconds(m_timeoutMs);
        while (m_pending.size() < wanted) {
            if (m_link->Ended()) {
                return kClosedCode;
            }
            const auto next = m_link->NextEvent();
            if (!next || *next > deadline) {
                m_now = deadline;
                ++m_timeouts;
                return kTimeoutCode;
            }
            m_now = std::max(m_now, *next);
            Pump();
        }
        std::memcpy(buffer, m_pending.data(), wanted);
        m_pending.erase(0, wanted);
        return 0;
    }

    int CharactersPerSecond() override { return m_charactersPerSecond; }
    int ReadTimeout() override { return m_timeoutMs; }
    void SetReadTimeout(int milliseconds) override {
        m_timeoutMs = milliseconds;
        m_shortestTimeoutMs = std::min(m_shortestTimeoutMs, milliseconds);
    }

    int Opens() const { return m_opens; }
    int Closes() const { return m_closes; }
    int Timeouts() const { return m_timeouts; }
    int ShortestTimeoutMs() const { return m_shortestTimeoutMs; }
    // Time on the channel's own clock since it was made.
    std::chrono::milliseconds Elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(m_now - m_start);
    }

  private:
    void Pump() {
        m_link->Process(m_now);
        m_pending += m_link->TakeDue(m_now);
    }

    const qelsim::SteadyTime m_start = std::chrono::steady_clock::now();
    qelsim::SteadyTime m_now = m_start;
    qelsim::SimOutputs m_outputs{"", ""};
    qelsim::SimulatedDevice m_simulated;
    std::unique_ptr<qelsim::DeviceLink> m_link;
    std::string m_pending;
    int m_timeoutMs;
    int m_charactersPerSecond;
    int m_shortestTimeoutMs = 1 << 30;
    int m_opens = 0;
    int m_closes = 0;
    int m_timeouts = 0;
};
