// A pseudo-terminal pair: the port under test opens the slave by its path, the test plays the
// device on the master.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "read_with_deadline.h"

class PtyPair {
  public:
    PtyPair() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
            return;
        }
        char path[128] = {};
        if (ptsname_r(m_master, path, sizeof path) == 0) {
            m_slavePath = path;
        }
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool IsOpen() const { return m_master >= 0 && !m_slavePath.empty(); }
    const char* SlavePath() const { return m_slavePath.c_str(); }
    int Master() const { return m_master; }

    // Hands text to the slave's input, as a device sending it.
    bool Send(const std::string& text) {
        return write(m_master, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // What the slave wrote, up to count bytes, waiting at most timeoutMilliseconds in all.
    std::string Receive(std::size_t count, int timeoutMilliseconds = 2000) {
        return ReadWithDeadline(m_master, count, std::chrono::milliseconds(timeoutMilliseconds));
    }

    // The line hangs up for whoever holds the slave.
    void CloseMaster() {
        if (m_master >= 0) {
            close(m_master);
            m_master = -1;
        }
    }

  private:
    int m_master = -1;
    std::string m_slavePath;
};
