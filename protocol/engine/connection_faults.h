// What a channel's failure code says about its connection. Internal to the library.
#pragma once

#include "comms.h"
#include "qel_codes.h"

namespace qel {

// The connection is gone: the peer closed it, or nothing can be sent or received on it.
inline bool ShowsConnectionGone(int code) {
    return code == kErrReadClosed || code == kErrWrite || code == kErrWriteIncomplete ||
           code == kCommsErrNotOpen || code == kCommsErrRead || code == kCommsErrWrite;
}

// The connection only stays silent. A device that rebooted without closing its TCP connection
// leaves it so for ever, and so does a USB serial port that the device's reboot took away.
inline bool ShowsSilence(int code) {
    return code == kErrReadTimeout || code == kErrReadIncomplete || code == kCommsErrReadTimeout;
}

}  // namespace qel
