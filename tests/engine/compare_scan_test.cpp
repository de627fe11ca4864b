#include "compare_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

#include "case_name.h"
#include "wire_text.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using PageSet = std::set<std::uint32_t>;
constexpr std::uint32_t kPage = 256;

Bytes RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

// Changes the device's copy of the image; returns the pages it changed.
using Change = PageSet (*)(Bytes& device);

PageSet Nothing(Bytes&) {
    return {};
}
PageSet Erase(Bytes& device) {
    PageSet pages;
    for (std::uint32_t page = 0; page < device.size() / kPage; ++page) {
        pages.insert(page);
    }
    std::fill(device.begin(), device.end(), 0xFF);
    return pages;
}
PageSet OneByteOfPage700(Bytes& device) {
    device[700 * kPage + 17] ^= 0x40;
    return {700};
}
PageSet ClearTheHeaderPage(Bytes& device) {
    std::fill_n(device.begin(), kPage, 0xFF);
    return {0};
}
PageSet TheLastPage(Bytes& device) {
    device[device.size() - 1] ^= 1;
    return {static_cast<std::uint32_t>(device.size() / kPage - 1)};
}
PageSet TenPercentAtRandom(Bytes& device) {
    std::mt19937 random(7);
    const auto pages = static_cast<std::uint32_t>(device.size() / kPage);
    PageSet changed;
    while (changed.size() < pages / 10) {
        changed.insert(random() % pages);
    }
    for (std::uint32_t page : changed) {
        device[page * kPage + random() % kPage] ^= 0x01;
    }
    return changed;
}
PageSet TheSecondHalf(Bytes& device) {
    PageSet pages;
    for (std::uint32_t page = 0; page < device.size() / kPage; ++page) {
        if (page >= device.size() / kPage / 2) {
            pages.insert(page);
            device[page * kPage] ^= 0x80;
        }
    }
    return pages;
}
// A change that keeps the CRC16 of every range holding it whole: inside one page this is the
// chance the usage text states; a block boundary that cuts it shows each piece.
PageSet InvisibleChangeOfPage3(Bytes& device) {
    wire::ChangeKeepingCrc16(&device[3 * kPage + 100], 0x5A);
    return {};
}
PageSet CrcZeroChangeAcrossBlocks(Bytes& device) {
    wire::ChangeKeepingCrc16(&device[16 * kPage - 1], 0x5A);
    return {15, 16};
}

struct ScanCase {
    const char* name;
    std::uint32_t pages;
    Change change;
    int mostRequests;
};

class CompareScan : public testing::TestWithParam<ScanCase> {};

TEST_P(CompareScan, FindsExactlyThePagesThatDifferWithinItsRequests) {
    const Bytes image = RandomBytes(GetParam().pages * kPage, 1);
    Bytes device = image;
    const PageSet changed = GetParam().change(device);
    int fetches = 0;
    const qel::RangeCrcFetch fetch = [&](std::uint32_t offset, std::uint32_t size,
                                         std::uint16_t* crc) {
        ++fetches;
        EXPECT_LE(offset + size, device.size());
        *crc = wire::Crc16Arc(device.data() + offset, size);
        return 0;
    };

    qel::ComparePlan plan;
    ASSERT_EQ(qel::ScanForDifferences(image.data(), static_cast<std::uint32_t>(image.size()), fetch,
                                      &plan),
              0);
    PageSet found;
    for (std::uint32_t page = 0; page < plan.differs.size(); ++page) {
        if (plan.differs[page] != 0) {
            found.insert(page);
        }
    }
    EXPECT_EQ(found, changed);
    EXPECT_EQ(plan.requests, fetches);
    EXPECT_LE(plan.requests, GetParam().mostRequests);
    EXPECT_EQ(plan.AnyDiffers(), !changed.empty());
}

// 1025 pages: a 256 KiB image with its header page. Bounds: the whole image, 64 blocks of 16
// pages (the 65th follows from the others), and one request per halving.
INSTANTIATE_TEST_SUITE_P(
    Devices, CompareScan,
    testing::Values(ScanCase{"Unchanged", 1025, &Nothing, 1 + 64},
                    ScanCase{"Erased", 1025, &Erase, 1 + 64 + 2 * 15},
                    ScanCase{"OnePageChanged", 1025, &OneByteOfPage700, 1 + 64 + 4},
                    ScanCase{"HeaderPageCleared", 1025, &ClearTheHeaderPage, 1 + 64 + 4},
                    ScanCase{"TenPercentChanged", 1025, &TenPercentAtRandom, 520},
                    ScanCase{"SecondHalfDifferent", 1025, &TheSecondHalf, 1 + 64 + 2 * 15},
                    ScanCase{"ShortLastBlock", 1000, &TheLastPage, 1 + 66 + 4},
                    ScanCase{"PagesOfASmallImage", 17, &TheLastPage, 1 + 16},
                    ScanCase{"OnePageImage", 1, &TheLastPage, 1},
                    ScanCase{"ChangeWhoseCrcIsZero", 1025, &InvisibleChangeOfPage3, 1 + 64},
                    ScanCase{"ChangeWhoseCrcIsZeroAcrossBlocks", 1025, &CrcZeroChangeAcrossBlocks,
                             1 + 64 + 2 * 4}),
    CaseName());

TEST(CompareScan, AFailedRequestEndsTheScanWithItsCodeAndEveryUndecidedPageToWrite) {
    const Bytes image = RandomBytes(40 * kPage, 2);
    int fetches = 0;
    const qel::RangeCrcFetch fetch = [&](std::uint32_t, std::uint32_t, std::uint16_t* crc) {
        *crc = 0;
        return ++fetches == 2 ? 5021 : 0;
    };
    qel::ComparePlan plan;
    EXPECT_EQ(qel::ScanForDifferences(image.data(), static_cast<std::uint32_t>(image.size()), fetch,
                                      &plan),
              5021);
    EXPECT_EQ(plan.requests, 2);
    EXPECT_EQ(plan.PagesDiffering(), 40);
}

}  // namespace
