// Line noise: flips bits of the characters that pass, each of the 8 data bits of every character
// independently with the given bit error rate. The flips follow from the seed and the position of
// the bit in the stream alone, so a run can be repeated exactly however the bytes are cut up.
#pragma once

#include <cstdint>
#include <random>
#include <span>

namespace qelsim {

class BitNoise {
  public:
    // A rate of 0 flips nothing, 1 every bit. Streams with the same seed and a different stream
    // number flip independently of each other.
    BitNoise(double bitErrorRate, std::uint64_t seed, std::uint32_t stream);

    // Flips bits of the bytes in place; returns how many it flipped.
    std::uint64_t Apply(std::span<char> bytes);
    // All flips so far.
    std::uint64_t Flips() const { return m_flips; }

  private:
    // Unflipped bits before the next flipped one: the gaps of independent trials are geometric,
    // so one draw serves a whole gap instead of one draw a bit.
    std::uint64_t NextGap();

    double m_rate;
    std::mt19937_64 m_random;
    std::uint64_t m_gap = 0;
    std::uint64_t m_flips = 0;
};

}  // namespace qelsim
