// A channel for exact byte and call-order checks: records every Write and plays back scripted
// replies and results.
#pragma once

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "comm_channel.h"

class FakeChannel : public ICommChannel {
  public:
    struct Call {
        enum Kind { kOpen, kClose, kWrite, kRead } kind;
        std::string data;  // what was written, or what a Read delivered
        int length = 0;    // the length asked for
    };

    // Read results in order: a reply text (delivered from the front, as many bytes as asked), or a
    // failure code. When the script runs dry, Read fails with kSilentCode.
    void QueueReply(const std::string& text) { m_incoming += text; }
    void QueueReadFailure(int code) { m_readFailures.push_back({m_incoming.size(), code}); }
    // The nth Write from now (0-based) fails with code.
    void FailWrite(int nth, int code) { m_writeFailures.push_back({m_writes + nth, code}); }
    void SetOpenResult(int code) { m_openResult = code; }

    int Open(void*) override {
        m_calls.push_back({Call::kOpen, {}, 0});
        return m_openResult;
    }
    void Close() override { m_calls.push_back({Call::kClose, {}, 0}); }
    int Write(char* data, int length) override {
        m_calls.push_back(
            {Call::kWrite, std::string(data, static_cast<std::size_t>(length)), length});
        const int index = m_writes++;
        for (const auto& failure : m_writeFailures) {
            if (failure.first == index) {
                return failure.second;
            }
        }
        return 0;
    }
    int Read(char* buffer, int length) override {
        for (auto it = m_readFailures.begin(); it != m_readFailures.end(); ++it) {
            if (it->first <= m_consumed) {
                const int code = it->second;
                m_readFailures.erase(it);
                m_calls.push_back({Call::kRead, {}, length});
                return code;
            }
        }
        const std::size_t wanted = static_cast<std::size_t>(length);
        if (m_incoming.size() - m_consumed < wanted) {
            m_calls.push_back({Call::kRead, {}, length});
            return kSilentCode;
        }
        std::memcpy(buffer, m_incoming.data() + m_consumed, wanted);
        m_calls.push_back({Call::kRead, m_incoming.substr(m_consumed, wanted), length});
        m_consumed += wanted;
        return 0;
    }

    const std::vector<Call>& Calls() const { return m_calls; }
    // Everything written, in order, as one string.
    std::string Written() const {
        std::string all;
        for (const auto& call : m_calls) {
            if (call.kind == Call::kWrite) {
                all += call.data;
            }
        }
        return all;
    }
    std::vector<std::string> Writes() const {
        std::vector<std::string> writes;
        for (const auto& call : m_calls) {
            if (call.kind == Call::kWrite) {
                writes.push_back(call.data);
            }
        }
        return writes;
    }

    static constexpr int kSilentCode = 5021;

  private:
    std::string m_incoming;
    std::size_t m_consumed = 0;
    std::vector<std::pair<std::size_t, int>> m_readFailures;
    std::vector<std::pair<int, int>> m_writeFailures;
    int m_writes = 0;
    int m_openResult = 0;
    std::vector<Call> m_calls;
};
