// A user's Windows program includes <windows.h> first, without the WIN32_LEAN_AND_MEAN that this
// project's own build defines, and then the library's public headers: they must bring nothing
// that clashes with it.
#undef WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "hex_file.h"
#include "qel_download.h"
#include "qel_protocol.h"
#include "qel_sleep.h"
#include "serial_channel.h"
#include "socket_channel.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

TEST(PublicHeadersOnWindows, TakeWindowsOwnWindowAndMessageNumbers) {
    static_assert(std::is_constructible_v<QelProtocol, ICommChannel*, int, int, HWND>);
    EXPECT_EQ(qel::kTraceMessage, static_cast<unsigned>(WM_USER + 1));
}

}  // namespace
