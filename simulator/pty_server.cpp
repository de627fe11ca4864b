#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "line_session.h"
#include "pty_close_watch.h"
#include "stop_signal.h"

namespace qelsim {
namespace {

struct PtyPair {
    int master = -1;
    int slave = -1;  // held open by the device itself, so that the line never hangs up
    std::string path;
};

bool OpenPty(PtyPair& pair) {
    pair.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (pair.master < 0 || grantpt(pair.master) != 0 || unlockpt(pair.master) != 0) {
        return false;
    }
    const char* name = ptsname(pair.master);
    if (name == nullptr) {
        return false;
    }
    pair.path = name;
    pair.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (pair.slave < 0) {
        return false;
    }
    // Raw until the other side sets its own mode: no echo of replies back into the device, no
    // CR to line feed translation.
    termios mode{};
    tcgetattr(pair.slave, &mode);
    cfmakeraw(&mode);
    tcsetattr(pair.slave, TCSANOW, &mode);
    fcntl(pair.master, F_SETFD, FD_CLOEXEC);
    fcntl(pair.master, F_SETFL, fcntl(pair.master, F_GETFL) | O_NONBLOCK);
    return true;
}

void ClosePty(PtyPair& pair) {
    if (pair.slave >= 0) {
        close(pair.slave);
    }
    if (pair.master >= 0) {
        close(pair.master);
    }
}

// Where closes of the port cannot be watched, a device that dropped the line comes back after this.
constexpr std::chrono::seconds kBackWithoutWatch{2};

// A device on a USB port vanishes while it reboots: the host's port stays open, but what it sends
// is lost and nothing comes back until it closes the port; the next opening finds the device
// again. A close is looked at before the input, since a host may reopen and send at once.
// False when the line failed.
bool StayGoneUntilClosed(const PtyPair& pair, PtyCloseWatch& closes) {
    closes.TakeCloses();  // closes from before the reset do not bring the device back
    const auto back = std::chrono::steady_clock::now() + kBackWithoutWatch;
    char buffer[4096];
    while (!StopRequested()) {
        pollfd entries[2] = {{closes.Fd(), POLLIN, 0}, {pair.master, POLLIN, 0}};
        const int ready = poll(entries, 2, static_cast<int>(kPollInterval.count()));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (entries[0].revents != 0 && closes.TakeCloses()) {
            ReleaseExclusiveUse(pair.slave);
            return true;
        }
        if (entries[1].revents != 0 && read(pair.master, buffer, sizeof buffer) < 0 &&
            errno != EAGAIN && errno != EINTR) {
            return false;
        }
        if (closes.Fd() < 0 && std::chrono::steady_clock::now() >= back) {
            return true;
        }
    }
    return true;
}

}  // namespace

int ServePty(SimulatedDevice& simulated) {
    PtyPair pair;
    if (!OpenPty(pair)) {
        std::perror("qel-sim: cannot open a pseudo-terminal");
        ClosePty(pair);
        return 1;
    }
    std::printf("pty %s\n", pair.path.c_str());
    std::fflush(stdout);
    PtyCloseWatch closes(pair.path);
    const LineWatch watch{closes.Fd(), [&] {
                              if (closes.TakeCloses()) {
                                  ReleaseExclusiveUse(pair.slave);
                              }
                          }};
    int status = 0;
    while (!StopRequested()) {
        LineSession session(simulated, pair.master, watch);
        const SessionEnd end = session.Serve();
        if (end == SessionEnd::kFailed ||
            (end == SessionEnd::kClosedOnReset && !StayGoneUntilClosed(pair, closes))) {
            std::perror("qel-sim: the pseudo-terminal failed");
            status = 1;
            break;
        }
        // A hang-up or a transport fault: the line stays, a new session starts on it.
        WaitUntil(std::chrono::steady_clock::now() + kPollInterval);
    }
    ClosePty(pair);
    return status;
}

}  // namespace qelsim
