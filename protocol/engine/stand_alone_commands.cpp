// Two operations beside the upgrade sequence: a device reset reported to the trace window instead
// of the console, and a fixed series of notifications with which a window can test its handler.
#include "frame_codec.h"
#include "platform.h"
#include "qel_protocol.h"

namespace {

using namespace qel::codec;

constexpr int kStatusOffset = 4;
constexpr int kResetFrameBytes = kHeaderLength + kCrcLength;
constexpr int kResetReplyBytes = 7;  // start, code, separator, id, status, CRC16

constexpr unsigned kTraceMessage = 0x401;
constexpr unsigned long kDummyPauseMs = 1000;

struct DummyNotification {
    WPARAM wParam;
    const char* text;
};

constexpr DummyNotification kDummyNotifications[] = {
    {0x05, "Now dummy starting..."},
    {0x85, "Now dummy working..."},
    {0x0A, "Now dummy stop."},
    {0x8A, "Now dummy stop."},
};

}  // namespace

int QelProtocol::Reset() {
    unsigned char frame[kResetFrameBytes];
    BeginFrame(frame, qel::kCmdReset);
    unsigned char reply[kResetReplyBytes + 1];
    const int result = Exchange(frame, kResetFrameBytes, reply, kResetReplyBytes, true,
                                qel::kCmdReset + qel::kReplyFlag, nullptr);
    if (result != qel::kOk) {
        return result;
    }
    return reply[kStatusOffset] == 0 ? qel::kOk : qel::kErrReplyStatus;
}

// Pauses after every notification but the last, also without a window.
void QelProtocol::dummy() {
    bool first = true;
    for (const DummyNotification& notification : kDummyNotifications) {
        if (!first) {
            platform::Sleep(kDummyPauseMs);
        }
        first = false;
        if (m_hwnd != nullptr) {
            SendMessageA(m_hwnd, kTraceMessage, notification.wParam,
                         reinterpret_cast<LPARAM>(notification.text));
        }
    }
}
