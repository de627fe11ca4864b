// The compare scan. A CRC16 matches a different range by chance, but a difference that a range
// boundary cuts must match in each piece: so the blocks are always asked for, even when the whole
// image matches, and a difference that spans blocks (a different build, an erased device) cannot
// pass as equal with the chance of one CRC16 alone. Requests go where they pay: a block that
// differs is halved until its pages are found, but once the blocks halved this way turn out to
// differ nearly everywhere (an erased or wholly different device), the remaining blocks that
// differ are written whole, since a CRC16 request costs about an eighth of a page write.
#include "compare_scan.h"

#include <algorithm>

#include "application_layout.h"
#include "frame_codec.h"

namespace qel {
namespace {

using layout::kPageBytes;

// Pages of blocks halved before the share of equal pages in them decides whether halving goes on;
// the share below which it stops.
constexpr std::uint32_t kTrialPages = 2 * kMostCompareBlockPages;
constexpr std::uint32_t kEqualShareDivisor = 4;

// The CRC16 of a range followed by length zero bytes, the part a range's CRC16 owes to the range
// in front of it.
std::uint16_t FollowedByZeros(std::uint16_t crc, std::uint32_t length) {
    static const unsigned char kZeros[4096] = {};
    while (length > 0) {
        const std::uint32_t piece = std::min<std::uint32_t>(length, sizeof kZeros);
        crc = codec::Crc16Continue(crc, kZeros, static_cast<int>(piece));
        length -= piece;
    }
    return crc;
}

// A run of pages with the device's CRC16 of it.
struct Range {
    std::uint32_t firstPage;
    std::uint32_t pages;
    std::uint16_t deviceCrc;

    std::uint32_t Offset() const { return firstPage * kPageBytes; }
    std::uint32_t Bytes() const { return pages * kPageBytes; }
};

class Scanner {
  public:
    Scanner(const unsigned char* image, std::uint32_t pages, const RangeCrcFetch& fetch,
            ComparePlan& plan)
        : m_image(image), m_pages(pages), m_fetch(fetch), m_plan(plan) {}

    int Run() {
        m_plan.differs.assign(m_pages, 1);
        Range whole{0, m_pages, 0};
        int result = Fetch(whole);
        const std::uint32_t blockPages =
            std::clamp<std::uint32_t>(m_pages / kCompareBlocks, 1, kMostCompareBlockPages);
        std::vector<Range> blocks;
        if (result == 0) {
            result = Split(whole, blockPages, &blocks);
        }
        for (const Range& block : blocks) {
            if (result != 0) {
                break;
            }
            const bool differs = Differs(block);
            MarkEqual(block, !differs);
            if (differs && WorthHalving()) {
                m_halvedPages += block.pages;
                result = Halve(block);
            }
        }
        return result;
    }

  private:
    int Fetch(Range& range) {
        ++m_plan.requests;
        return m_fetch(range.Offset(), range.Bytes(), &range.deviceCrc);
    }

    bool Differs(const Range& range) const {
        return range.deviceCrc !=
               codec::Crc16(m_image + range.Offset(), static_cast<int>(range.Bytes()));
    }

    void MarkEqual(const Range& range, bool equal) {
        if (equal) {
            std::fill_n(m_plan.differs.begin() + range.firstPage, range.pages, 0);
        }
    }

    bool WorthHalving() const {
        return m_halvedPages < kTrialPages ||
               m_equalHalvedPages * kEqualShareDivisor >= m_halvedPages;
    }

    // Cuts whole into parts of partPages pages (the last may be shorter), asking the device for
    // every part but the last, whose CRC16 follows from the others and the whole's.
    int Split(const Range& whole, std::uint32_t partPages, std::vector<Range>* parts) {
        std::uint16_t prefixCrc = 0;
        for (std::uint32_t first = whole.firstPage; first < whole.firstPage + whole.pages;
             first += partPages) {
            const std::uint32_t end = std::min(first + partPages, whole.firstPage + whole.pages);
            Range part{first, end - first, 0};
            const std::uint16_t prefixShifted = FollowedByZeros(prefixCrc, part.Bytes());
            if (end == whole.firstPage + whole.pages) {
                part.deviceCrc = whole.deviceCrc ^ prefixShifted;
            } else if (const int result = Fetch(part); result != 0) {
                return result;
            }
            prefixCrc = prefixShifted ^ part.deviceCrc;
            parts->push_back(part);
        }
        return 0;
    }

    // Finds the pages that differ in a range that differs.
    int Halve(const Range& range) {
        if (range.pages == 1) {
            return 0;  // marked as differing from the start
        }
        std::vector<Range> halves;
        int result = Split(range, (range.pages + 1) / 2, &halves);
        for (const Range& half : halves) {
            if (result != 0) {
                break;
            }
            const bool differs = Differs(half);
            MarkEqual(half, !differs);
            m_equalHalvedPages += differs ? 0 : half.pages;
            if (differs) {
                result = Halve(half);
            }
        }
        return result;
    }

    const unsigned char* m_image;
    std::uint32_t m_pages;
    const RangeCrcFetch& m_fetch;
    ComparePlan& m_plan;
    // Pages of the blocks halved so far, and how many of them the device holds already.
    std::uint32_t m_halvedPages = 0;
    std::uint32_t m_equalHalvedPages = 0;
};

}  // namespace

bool ComparePlan::AnyDiffers() const {
    return PagesDiffering() > 0;
}

int ComparePlan::PagesDiffering() const {
    return static_cast<int>(std::count(differs.begin(), differs.end(), 1));
}

int ScanForDifferences(const unsigned char* image, std::uint32_t size, const RangeCrcFetch& fetch,
                       ComparePlan* plan) {
    *plan = {};
    return Scanner(image, size / kPageBytes, fetch, *plan).Run();
}

}  // namespace qel
