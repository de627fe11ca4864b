#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>

#include "hex_file.h"
#include "hex_test_support.h"
#include "image_loader.h"
#include "intel_hex_writer.h"

namespace {

struct RandomImage {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kImageSize, 0xFF);
    std::vector<HexChunk> records;
    int first = -1;
    int end = -1;
};

// Runs of random data with random gaps, cut into records that never cross a 64 KiB window.
RandomImage MakeRandomImage(std::mt19937& random, unsigned recordSize) {
    RandomImage image;
    std::uniform_int_distribution<std::uint32_t> runLength(1, 4000), gapLength(1, 20000);
    std::uniform_int_distribution<int> byteValue(0, 255);
    std::uint32_t address = gapLength(random);
    image.first = static_cast<int>(address);
    while (address + 4000 < kHighestRecordEnd) {
        const std::uint32_t runEnd = address + runLength(random);
        while (address < runEnd) {
            const std::uint32_t windowLeft = 0x10000 - address % 0x10000;
            const std::uint32_t size = std::min({recordSize, runEnd - address, windowLeft});
            HexChunk chunk{address, {}};
            for (std::uint32_t index = 0; index < size; ++index) {
                chunk.bytes.push_back(static_cast<std::uint8_t>(byteValue(random)));
                image.bytes[address + index] = chunk.bytes.back();
            }
            image.records.push_back(std::move(chunk));
            address += size;
        }
        image.end = static_cast<int>(address);
        address += gapLength(random);
    }
    return image;
}

// record size, segment addresses, lower-case digits, records in shuffled order
using RoundTripParams = std::tuple<unsigned, bool, bool, bool>;

class RoundTripTest : public testing::TestWithParam<RoundTripParams> {};

TEST_P(RoundTripTest, LoadsWhatTheWriterWroteByteForByte) {
    const auto [recordSize, segment, lowerCase, shuffled] = GetParam();
    std::mt19937 random(recordSize * 8 + segment * 4 + lowerCase * 2 + shuffled);
    RandomImage expected = MakeRandomImage(random, recordSize);
    if (shuffled) {
        std::shuffle(expected.records.begin(), expected.records.end(), random);
    }
    IntelHexWriter writer(segment, lowerCase);
    for (const HexChunk& record : expected.records) {
        writer.Data(record.start, record.bytes);
    }
    TempDir dir;
    const std::string path = dir.Write("image.hex", writer.Finish());

    char* image = nullptr;
    int first = 0, end = 0;
    testing::internal::CaptureStdout();
    const int result = HL_ReadFile(path.c_str(), &image, &first, &end);
    ASSERT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(result, 0);
    EXPECT_EQ(first, expected.first);
    EXPECT_EQ(end, expected.end);
    EXPECT_EQ(std::memcmp(image, expected.bytes.data(), kImageSize), 0);
    delete[] image;
}

INSTANTIATE_TEST_SUITE_P(Images, RoundTripTest,
                         testing::Combine(testing::Values(16u, 32u), testing::Bool(),
                                          testing::Bool(), testing::Bool()));

}  // namespace
