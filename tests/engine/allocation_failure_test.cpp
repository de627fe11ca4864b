// Makes the library's non-throwing array allocation fail on request, for the one test that needs
// it; every other allocation of the test program is left alone.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "protocol_access.h"

namespace {

bool g_failNothrowArrays = false;

}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (g_failNothrowArrays) {
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

TEST(ApplicationImage, AFailedAllocationIsRefusedAndKeepsThePreviousImage) {
    std::vector<char> firmware(0x80000, static_cast<char>(0xFF));
    QelProtocol protocol(nullptr, 1, 1, nullptr);
    QelProtocolTestAccess access(protocol);
    testing::internal::CaptureStdout();
    ASSERT_EQ(protocol.PrepareDataBuffer(firmware.data(), 0x3000, 0x3003), 0);
    testing::internal::GetCapturedStdout();
    const unsigned char* buffer = access.DataBuffer();

    g_failNothrowArrays = true;
    testing::internal::CaptureStdout();
    const int result = protocol.PrepareDataBuffer(firmware.data(), 0x3000, 0x3400);
    g_failNothrowArrays = false;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(result, 0);
    EXPECT_EQ(access.DataBuffer(), buffer);
    EXPECT_EQ(access.DataSize(), 256);
}

}  // namespace
