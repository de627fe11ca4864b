#include "bit_noise.h"

#include <cmath>
#include <limits>

namespace qelsim {
namespace {

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

}  // namespace

BitNoise::BitNoise(double bitErrorRate, std::uint64_t seed, std::uint32_t stream)
    : m_rate(bitErrorRate) {
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                           stream};
    m_random.seed(sequence);
    m_gap = NextGap();
}

std::uint64_t BitNoise::NextGap() {
    if (!(m_rate > 0)) {
        return kNever;
    }
    if (m_rate >= 1) {
        return 0;
    }
    // Uniform in (0, 1], 53 bits: the mantissa of a double.
    const double uniform = static_cast<double>((m_random() >> 11) + 1) * 0x1p-53;
    const double gap = std::floor(std::log(uniform) / std::log1p(-m_rate));
    return gap < 1e18 ? static_cast<std::uint64_t>(gap) : kNever;
}

std::uint64_t BitNoise::Apply(std::span<char> bytes) {
    const std::uint64_t bits = bytes.size() * 8ULL;
    std::uint64_t at = 0;
    std::uint64_t flipped = 0;
    while (m_gap < bits - at) {
        at += m_gap;
        bytes[at / 8] = static_cast<char>(bytes[at / 8] ^ (1 << (at % 8)));
        ++at;
        ++flipped;
        m_gap = NextGap();
    }
    if (m_gap != kNever) {
        m_gap -= bits - at;
    }
    m_flips += flipped;
    return flipped;
}

}  // namespace qelsim
