#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "event_sink.h"
#include "fake_channel.h"
#include "frame_codec.h"
#include "protocol_access.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr int kFirst = 0x3000;

// A protocol object without a channel, and a firmware image of erased flash to prepare.
struct Rig {
    // For the tests that look only at the image, not at the lines that preparing it reports.
    int PrepareQuietly(int first, int end) {
        protocol.SetEventSink(&qel::SilentEventSink());
        return protocol.PrepareDataBuffer(firmware.data(), first, end);
    }
    Bytes Image() const {
        return Bytes(access.DataBuffer(), access.DataBuffer() + access.DataSize());
    }

    std::vector<char> firmware = std::vector<char>(0x80000, static_cast<char>(0xFF));
    QelProtocol protocol{nullptr, 1, 1, nullptr};
    QelProtocolTestAccess access{protocol};
};

TEST(ApplicationImage, BuildsTheWorkedExampleForThreeBytes) {
    Rig rig;
    rig.firmware[kFirst] = 'a';
    rig.firmware[kFirst + 1] = 'b';
    rig.firmware[kFirst + 2] = 'c';
    CaptureStdout();
    ASSERT_EQ(rig.protocol.PrepareDataBuffer(rig.firmware.data(), kFirst, kFirst + 3), 0);
    EXPECT_EQ(GetCapturedStdout(),
              "\nDBG: APP INFO\nDBG: DATA SIZE: 256\nDBG: IMG  SIZE: 3\nDBG: IMG CRC16: 0x9738"
              "\nDBG: AIH CRC16: 0xfe23");

    const Bytes image = rig.Image();
    ASSERT_EQ(image.size(), 256u);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 10),
              (Bytes{0x5A, 0xFF, 0x00, 0xA5, 0x03, 0x00, 0x00, 0x00, 0x38, 0x97}));
    EXPECT_EQ(Bytes(image.begin() + 10, image.begin() + 62), Bytes(52, 0));
    EXPECT_EQ(image[62], 0x23);
    EXPECT_EQ(image[63], 0xFE);
    EXPECT_EQ(Bytes(image.begin() + 64, image.begin() + 67), (Bytes{'a', 'b', 'c'}));
    EXPECT_EQ(Bytes(image.begin() + 67, image.end()), Bytes(189, 0));
    EXPECT_EQ(qel::codec::Crc16(image.data(), 256), 0x6B7A);
}

class ApplicationImageSize : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(ApplicationImageSize, RoundsUpToWholePagesWithAtLeastOneByteOfFill) {
    const auto [length, size] = GetParam();
    Rig rig;
    CaptureStdout();
    ASSERT_EQ(rig.protocol.PrepareDataBuffer(rig.firmware.data(), kFirst, kFirst + length), 0);
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(rig.access.DataSize(), size);
    EXPECT_NE(printed.find("\nDBG: DATA SIZE: " + std::to_string(size) + "\n"), std::string::npos);
    EXPECT_NE(printed.find("\nDBG: IMG  SIZE: " + std::to_string(length) + "\n"),
              std::string::npos);
    const Bytes image = rig.Image();
    EXPECT_EQ(image[64 + length], 0);  // the first byte of zero fill
}

INSTANTIATE_TEST_SUITE_P(WorkedLengths, ApplicationImageSize,
                         testing::Values(std::pair{100, 256}, std::pair{192, 512},
                                         std::pair{193, 512}, std::pair{448, 768},
                                         std::pair{1, 256}, std::pair{0x7D000, 0x7D100}),
                         [](const testing::TestParamInfo<std::pair<int, int>>& tested) {
                             return "Length" + std::to_string(tested.param.first);
                         });

TEST(ApplicationImage, CopiesGapsAsTheyAreAndCoversExactlyTheDataWithItsCrc) {
    Rig rig;
    rig.firmware[kFirst] = 0x01;
    rig.firmware[kFirst + 299] = 0x02;  // 298 bytes of 0xFF between
    rig.firmware[kFirst + 300] = 0x55;  // just past the end: not copied
    ASSERT_EQ(rig.PrepareQuietly(kFirst, kFirst + 300), 0);
    const Bytes image = rig.Image();
    const auto* data = reinterpret_cast<const unsigned char*>(rig.firmware.data() + kFirst);
    EXPECT_EQ(Bytes(image.begin() + 64, image.begin() + 364), Bytes(data, data + 300));
    EXPECT_EQ(Bytes(image.begin() + 364, image.end()), Bytes(image.size() - 364, 0));
    const std::uint16_t dataCrc = qel::codec::Crc16(data, 300);
    EXPECT_EQ(image[8] | (image[9] << 8), dataCrc);
    const std::uint16_t headerCrc = qel::codec::Crc16(image.data(), 62);
    EXPECT_EQ(image[62] | (image[63] << 8), headerCrc);
}

TEST(ApplicationImage, ANewCallReplacesTheImage) {
    Rig rig;
    ASSERT_EQ(rig.PrepareQuietly(kFirst, kFirst + 500), 0);
    ASSERT_EQ(rig.PrepareQuietly(kFirst, kFirst + 3), 0);
    EXPECT_EQ(rig.access.DataSize(), 256);
    EXPECT_EQ(rig.access.DataBuffer()[4], 3);
}

struct RefusedRange {
    const char* name;
    bool nullImage;
    int first;
    int end;
};

class ApplicationImageRefusal : public testing::TestWithParam<RefusedRange> {};

TEST_P(ApplicationImageRefusal, RefusesAndKeepsThePreviousImage) {
    Rig rig;
    rig.firmware[kFirst] = 0x42;
    ASSERT_EQ(rig.PrepareQuietly(kFirst, kFirst + 3), 0);
    const Bytes before = rig.Image();
    const unsigned char* buffer = rig.access.DataBuffer();

    const RefusedRange& range = GetParam();
    rig.protocol.SetEventSink(nullptr);  // a refusal prints nothing even to the default sink
    CaptureStdout();
    EXPECT_NE(rig.protocol.PrepareDataBuffer(range.nullImage ? nullptr : rig.firmware.data(),
                                             range.first, range.end),
              0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(rig.access.DataBuffer(), buffer);
    EXPECT_EQ(rig.Image(), before);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ApplicationImageRefusal,
                         testing::Values(RefusedRange{"Empty", false, kFirst, kFirst},
                                         RefusedRange{"Backwards", false, kFirst + 0x100, kFirst},
                                         RefusedRange{"NoImage", true, kFirst, kFirst + 3},
                                         RefusedRange{"NegativeFirst", false, -16, 16},
                                         RefusedRange{"PastTheFirmwareImage", false, 0x7FF00,
                                                      0x80001}),
                         CaseName());

TEST(ApplicationImage, TheWholeFirmwareImageIsAValidRange) {
    Rig rig;
    EXPECT_EQ(rig.PrepareQuietly(0, 0x80000), 0);
    EXPECT_EQ(rig.access.DataSize(), 0x80100);
}

}  // namespace
