// What only a real window shows: the engine's trace tests run on Windows too, through the
// recorder's message-only window; here, a window that is gone by the time the engine notifies it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_channel.h"
#include "qel_protocol.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

TEST(TraceWindow, AWindowDestroyedBeforeTheCommandCostsTheCommandNothing) {
    HWND stale = nullptr;
    {
        const TraceRecorder window;
        ASSERT_NE(window.Window(), nullptr);
        stale = window.Window();
    }
    ASSERT_FALSE(IsWindow(stale));
    FakeChannel channel;
    channel.QueueReply(wire::StatusReply(0x0A, 2));
    QelProtocol protocol(&channel, 1, 1, stale);

    EXPECT_EQ(protocol.Reset(), 0);
    EXPECT_EQ(channel.Writes(), (std::vector<std::string>{wire::Request(0x0A, 2), "\r"}));
}

}  // namespace
