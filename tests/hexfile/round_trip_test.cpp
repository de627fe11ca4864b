#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>

#include "hex_file.h"
#include "image_loader.h"
#include "intel_hex_text.h"
#include "temp_dir.h"

namespace {

struct Chunk {
    std::uint32_t start;
    std::vector<std::uint8_t> bytes;
};

// Writes records the way other tools do: an extended address record whenever the window of
// the next data record changes; segment bases lie up to 32 KiB below their records.
class IntelHexWriter {
  public:
    IntelHexWriter(bool segments, bool lowerCase) : m_segments(segments), m_lowerCase(lowerCase) {}

    void Data(const Chunk& chunk) {
        const std::uint32_t window =
            m_segments ? (chunk.start - chunk.start % 0x8000) >> 4 : chunk.start >> 16;
        if (window != m_window) {
            Record(m_segments ? 2 : 4, 0, {std::uint8_t(window >> 8), std::uint8_t(window)});
            m_window = window;
        }
        Record(0, chunk.start - (m_segments ? window << 4 : window << 16), chunk.bytes);
    }
    std::string End() {
        Record(1, 0, {});
        return m_text;
    }

  private:
    void Record(std::uint8_t type, std::uint32_t address, const std::vector<std::uint8_t>& data) {
        std::string line = IntelHexRecord(type, static_cast<std::uint16_t>(address), data);
        if (m_lowerCase) {
            std::transform(line.begin(), line.end(), line.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        }
        m_text += line + '\n';
    }

    bool m_segments, m_lowerCase;
    std::uint32_t m_window = 0;
    std::string m_text;
};

// record size, segment addresses, lower-case digits, records shuffled
using Params = std::tuple<unsigned, bool, bool, bool>;
class RoundTripTest : public testing::TestWithParam<Params> {};

TEST_P(RoundTripTest, LoadsWhatWasWrittenByteForByte) {
    const auto [recordSize, segments, lowerCase, shuffled] = GetParam();
    std::mt19937 random(recordSize + segments * 2 + lowerCase * 4 + shuffled * 8);
    std::uniform_int_distribution<std::uint32_t> run(1, 4000), gap(1, 20000), byte(0, 255);
    std::vector<std::uint8_t> expected(kImageSize, 0xFF);
    std::vector<Chunk> chunks;
    const std::uint32_t first = gap(random);
    std::uint32_t address = first, end = first;
    // Runs of data with gaps, cut into records that never cross a 64 KiB window.
    for (; address + 4000 < kHighestRecordEnd; address = end + gap(random)) {
        for (const std::uint32_t runEnd = address + run(random); address < runEnd;) {
            const std::uint32_t size =
                std::min({recordSize, runEnd - address, 0x10000 - address % 0x10000});
            chunks.push_back({address, {}});
            for (; size > chunks.back().bytes.size(); ++address) {
                expected[address] = static_cast<std::uint8_t>(byte(random));
                chunks.back().bytes.push_back(expected[address]);
            }
        }
        end = address;
    }
    if (shuffled) {
        std::shuffle(chunks.begin(), chunks.end(), random);
    }
    IntelHexWriter writer(segments, lowerCase);
    for (const Chunk& chunk : chunks) {
        writer.Data(chunk);
    }
    TempDir dir;
    const std::string path = dir.Write("in.hex", writer.End());
    char* image = nullptr;
    int loadedFirst = 0, loadedEnd = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(HL_ReadFile(path.c_str(), &image, &loadedFirst, &loadedEnd), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(loadedFirst, static_cast<int>(first));
    EXPECT_EQ(loadedEnd, static_cast<int>(end));
    EXPECT_EQ(std::memcmp(image, expected.data(), kImageSize), 0);
    delete[] image;
}

std::string RoundTripName(const testing::TestParamInfo<Params>& tested) {
    const auto [recordSize, segments, lowerCase, shuffled] = tested.param;
    return "Records" + std::to_string(recordSize) + (segments ? "Segmented" : "Linear") +
           (lowerCase ? "LowerCase" : "UpperCase") + (shuffled ? "Shuffled" : "InOrder");
}

INSTANTIATE_TEST_SUITE_P(Images, RoundTripTest,
                         testing::Combine(testing::Values(16u, 32u), testing::Bool(),
                                          testing::Bool(), testing::Bool()),
                         RoundTripName);

}  // namespace
