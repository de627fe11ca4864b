// Notices when a user of the pseudo-terminal closes it. A port opened for exclusive use
// (TIOCEXCL) stays exclusive as long as the device itself holds the line open, so without this the
// next open of the same path by an ordinary user would fail with EBUSY.
#pragma once

#include <string>

namespace qelsim {

class PtyCloseWatch {
  public:
    // Watches closes of the path; without inotify (other systems than Linux) it watches nothing.
    explicit PtyCloseWatch(const std::string& path);
    ~PtyCloseWatch();
    PtyCloseWatch(const PtyCloseWatch&) = delete;
    PtyCloseWatch& operator=(const PtyCloseWatch&) = delete;

    // Readable when a close happened; -1 when nothing is watched.
    int Fd() const { return m_fd; }
    // Takes the pending events; true when one of them was a close.
    bool TakeCloses();

  private:
    int m_fd = -1;
};

// Lets the next opener in, whatever mode the last user left the line in.
void ReleaseExclusiveUse(int slaveFd);

}  // namespace qelsim
