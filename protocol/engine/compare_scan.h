// Which pages of the application image the device holds already, found with the device's CRC16
// of ranges: the whole image and its blocks, then halves down to single pages where a block
// differs. The CRC16 has no initial value or final XOR, so the CRC16 of a range's second part
// follows from the CRC16s of the whole range and of its first part: every split costs one
// request. Internal to the library.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace qel {

// Asks the device for its CRC16 of size bytes at offset bytes into the image: 0 or a result code.
using RangeCrcFetch =
    std::function<int(std::uint32_t offset, std::uint32_t size, std::uint16_t* crc)>;

struct ComparePlan {
    std::vector<std::uint8_t> differs;  // per page of the image: 1 when it must be written
    int requests = 0;                   // CRC16 requests sent

    bool AnyDiffers() const;
    int PagesDiffering() const;
};

// Pages per block below the whole image: the image in about 64 blocks, of 1 to 16 pages.
inline constexpr std::uint32_t kCompareBlocks = 64;
inline constexpr std::uint32_t kMostCompareBlockPages = 16;

// Compares an image of whole pages with the device: 0 and the plan, or the code of the first
// request that failed (the plan then holds what was found so far; pages not yet decided differ).
int ScanForDifferences(const unsigned char* image, std::uint32_t size, const RangeCrcFetch& fetch,
                       ComparePlan* plan);

}  // namespace qel
