// The host end of a line in tests: send text, read an exact number of bytes with a deadline.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include "read_with_deadline.h"

namespace simtest {

class LineClient {
  public:
    explicit LineClient(int fd) : m_fd(fd) {}
    ~LineClient() { Close(); }
    LineClient(const LineClient&) = delete;
    LineClient& operator=(const LineClient&) = delete;

    int Fd() const { return m_fd; }
    void Close() {
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }

    bool Send(const std::string& text) {
        std::size_t sent = 0;
        while (sent < text.size()) {
            const ssize_t n = write(m_fd, text.data() + sent, text.size() - sent);
            if (n <= 0) {
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Exactly count bytes, or nullopt when the deadline passes or the line closes first.
    std::optional<std::string> Read(std::size_t count,
                                    std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::string text = ReadWithDeadline(m_fd, count, limit);
        if (text.size() < count) {
            return std::nullopt;
        }
        return text;
    }

    // True when the peer closed the line within the limit.
    bool ClosedByPeer(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        pollfd entry{m_fd, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(limit.count())) <= 0) {
            return false;
        }
        char byte;
        return read(m_fd, &byte, 1) == 0;
    }

  private:
    int m_fd;
};

}  // namespace simtest
