// Serves one connected line (a TCP connection or the pseudo-terminal) until the peer goes away,
// a transport fault closes it, or a stop is requested.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "device_model.h"
#include "line_io.h"
#include "sim_options.h"
#include "sim_outputs.h"

namespace qelsim {

enum class SessionEnd { kPeerClosed, kClosedByFault, kStopped, kFailed };

// What lives longer than one connection.
struct SimulatedDevice {
    DeviceModel& device;
    SimOutputs& outputs;
    TransportFaults faults;
    bool closeFaultDone = false;
    std::optional<std::string> pendingBoot;  // verdict of a reset, logged after its request
};

// A descriptor the session watches beside its line, and what to do when it becomes readable.
struct LineWatch {
    int fd = -1;
    std::function<void()> onReady;
};

class LineSession {
  public:
    LineSession(SimulatedDevice& simulated, int fd, LineWatch watch = {});
    SessionEnd Serve();

  private:
    std::optional<SessionEnd> HandleLine(std::string_view line);
    std::optional<SessionEnd> Send(const std::string& text, std::size_t number);

    SimulatedDevice& m_simulated;
    int m_fd;
    LineWatch m_watch;
    std::chrono::nanoseconds m_characterTime;
    std::string m_heldReply;
};

}  // namespace qelsim
