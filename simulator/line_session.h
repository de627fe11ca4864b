// Serves one connected line (a TCP connection or the pseudo-terminal) until the peer goes away,
// the device drops it, it stays idle too long, or a stop is requested.
#pragma once

#include <functional>

#include "device_link.h"
#include "line_io.h"

namespace qelsim {

// A descriptor the session watches beside its line, and what to do when it becomes readable.
struct LineWatch {
    int fd = -1;
    std::function<void()> onReady;
};

class LineSession {
  public:
    // idleLimit: a line on which nothing happens for this long is closed; zero: never.
    LineSession(SimulatedDevice& simulated, int fd, LineWatch watch = {},
                std::chrono::milliseconds idleLimit = {});
    SessionEnd Serve();

  private:
    SessionEnd Close(SessionEnd end);

    SimulatedDevice& m_simulated;
    int m_fd;
    LineWatch m_watch;
    std::chrono::milliseconds m_idleLimit;
    std::chrono::nanoseconds m_characterTime;
};

}  // namespace qelsim
