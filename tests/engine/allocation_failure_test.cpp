// Makes the library's allocations fail on request: the non-throwing array allocation of the
// application image, and the throwing allocation behind the C interface's handles. Every other
// allocation of the test program is left alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "protocol_access.h"
#include "qel.h"

namespace {

bool g_failNothrowArrays = false;
bool g_failAllocations = false;

}  // namespace

void* operator new(std::size_t size) {
    void* block = g_failAllocations ? nullptr : std::malloc(size != 0 ? size : 1);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

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

// Nothing thrown inside crosses the C interface: the caller gets a code and no handle.
TEST(CInterface, MemoryThatRunsOutGives5031AndNoHandle) {
    qel_device* device = reinterpret_cast<qel_device*>(&device);
    g_failAllocations = true;
    const std::int32_t result = qel_open_tcp("127.0.0.1", 1, 0, &device);
    g_failAllocations = false;
    EXPECT_EQ(result, QEL_ERR_INTERNAL);
    EXPECT_EQ(device, nullptr);
}

}  // namespace
