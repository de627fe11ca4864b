// The boot loader's verdict on the image at 0x40000 after a reset.
#include <gtest/gtest.h>

#include "boot_check.h"
#include "case_name.h"
#include "device_model.h"
#include "expected_image.h"
#include "wire_text.h"

namespace {

using wire::Bytes;

std::vector<std::uint8_t> MemoryWith(const Bytes& image, std::size_t size = 1 << 20) {
    std::vector<std::uint8_t> memory(size, 0xFF);
    const std::size_t fits = std::min(image.size(), size - 0x40000);
    std::copy(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(fits),
              memory.begin() + 0x40000);
    return memory;
}

void PutCrc(Bytes& image, std::size_t at, std::uint16_t crc) {
    image[at] = static_cast<std::uint8_t>(crc & 0xFF);
    image[at + 1] = static_cast<std::uint8_t>(crc >> 8);
}

struct BootCase {
    const char* name;
    std::function<void(Bytes&)> damage;
    std::string verdict;
};

class BootVerdict : public testing::TestWithParam<BootCase> {};

TEST_P(BootVerdict, NamesTheFirstReason) {
    Bytes image = expected::AbcImage();
    GetParam().damage(image);
    EXPECT_EQ(qelsim::CheckApplicationImage(MemoryWith(image)), GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Images, BootVerdict,
    testing::Values(BootCase{"Sound", [](Bytes&) {}, "boot ok"},
                    BootCase{"Erased", [](Bytes& i) { std::fill(i.begin(), i.end(), 0xFF); },
                             "boot failed: no application image (magic is 0xFFFFFFFF)"},
                    BootCase{"HeaderCrc", [](Bytes& i) { i[62] ^= 1; },
                             "boot failed: header CRC16 is 0xFE23, the header holds 0xFE22"},
                    BootCase{"DataCrc", [](Bytes& i) { i[65] = 'B'; },
                             "boot failed: data CRC16 is 0x5721, the header holds 0x9738"},
                    BootCase{"LengthPastMemory",
                             [](Bytes& i) {
                                 i[4] = 0x00;
                                 i[5] = 0x00;
                                 i[6] = 0x10;  // 1 MiB of data after a 64-byte header at 0x40000
                                 PutCrc(i, 62, wire::Crc16Arc(i.data(), 62));
                             },
                             "boot failed: image length 1048576 runs past the end of memory"},
                    BootCase{"CrcStoredHighByteFirst",
                             [](Bytes& i) {
                                 std::swap(i[8], i[9]);
                                 PutCrc(i, 62, wire::Crc16Arc(i.data(), 62));
                             },
                             "boot failed: data CRC16 is 0x9738, the header holds 0x3897"}),
    CaseName());

TEST(BootCheck, MemoryTooSmallForAnImage) {
    EXPECT_EQ(qelsim::CheckApplicationImage(std::vector<std::uint8_t>(0x40000 + 63, 0)),
              "boot failed: memory ends before the application image header");
}

TEST(BootCheck, ImageEndingExactlyAtTheEndOfMemoryBoots) {
    Bytes image = expected::AbcImage();
    EXPECT_EQ(qelsim::CheckApplicationImage(MemoryWith(image, 0x40000 + 64 + 3)), "boot ok");
}

TEST(BootCheck, EveryResetChecksAgainAndTellsTheObserver) {
    qelsim::DeviceModel device;
    std::vector<std::string> seen;
    device.SetBootObserver([&](const std::string& verdict) { seen.push_back(verdict); });
    device.HandleRequest(wire::Request(0x0A, 2));
    device.HandleRequest(wire::WritePageRequest(3, 0x40000, expected::AbcImage()));
    device.HandleRequest(wire::Request(0x0A, 4));
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_NE(seen[0], "boot ok");
    EXPECT_EQ(seen[1], "boot ok");
    EXPECT_EQ(device.LastBootVerdict(), "boot ok");
}

TEST(BootCheck, NoVerdictBeforeTheFirstReset) {
    qelsim::DeviceModel device;
    EXPECT_EQ(device.LastBootVerdict(), "");
}

}  // namespace
