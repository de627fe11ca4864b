#include "pty_close_watch.h"

#include <sys/ioctl.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace qelsim {

PtyCloseWatch::PtyCloseWatch(const std::string& path) {
#ifdef __linux__
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0 && inotify_add_watch(m_fd, path.c_str(), IN_CLOSE) < 0) {
        close(m_fd);
        m_fd = -1;
    }
#else
    (void)path;
#endif
}

PtyCloseWatch::~PtyCloseWatch() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

bool PtyCloseWatch::TakeCloses() {
    bool closed = false;
#ifdef __linux__
    alignas(inotify_event) char events[1024];
    ssize_t length = 0;
    while ((length = read(m_fd, events, sizeof events)) > 0) {
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            closed = closed || (event->mask & IN_CLOSE) != 0;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
#endif
    return closed;
}

void ReleaseExclusiveUse(int slaveFd) {
    ioctl(slaveFd, TIOCNXCL);
}

}  // namespace qelsim
