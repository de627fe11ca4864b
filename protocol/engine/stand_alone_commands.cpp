// Two operations beside the upgrade sequence: a device reset reported to the trace window instead
// of the console, and a fixed series of notifications with which a window can test its handler.
#include "message_layout.h"
#include "platform.h"
#include "qel_protocol.h"
#include "qel_sleep.h"

namespace {

using namespace qel::message;

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
    unsigned char frame[kBareRequestBytes];
    BeginFrame(frame, qel::kCmdReset);
    unsigned char reply[kStatusReplyBytes + 1];
    return StatusExchange(frame, kBareRequestBytes, reply, kStatusReplyBytes, nullptr);
}

// Pauses after every notification but the last, also without a window.
void QelProtocol::dummy() {
    bool first = true;
    for (const DummyNotification& notification : kDummyNotifications) {
        if (!first) {
            qel::Sleep(kDummyPauseMs);
        }
        first = false;
        if (m_hwnd != nullptr) {
            SendMessageA(m_hwnd, qel::kTraceMessage, notification.wParam,
                         reinterpret_cast<LPARAM>(notification.text));
        }
    }
}
