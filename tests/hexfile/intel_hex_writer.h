// Writes an image as Intel HEX the way other tools do: data records of a fixed size that never
// cross a 64 KiB window, each preceded by an extended address record when its window changes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct HexChunk {
    std::uint32_t start;
    std::vector<std::uint8_t> bytes;
};

class IntelHexWriter {
  public:
    IntelHexWriter(bool segmentAddresses, bool lowerCase)
        : m_segment(segmentAddresses), m_lowerCase(lowerCase) {}

    void Data(std::uint32_t start, const std::vector<std::uint8_t>& bytes) {
        // A segment base 32 KiB below the record at most, so that every offset fits 16 bits.
        const std::uint32_t window = m_segment ? (start - start % 0x8000u) >> 4 : start >> 16;
        const std::uint32_t base = m_segment ? (window << 4) : (window << 16);
        if (window != m_window) {
            Record(m_segment ? 2 : 4, 0, {std::uint8_t(window >> 8), std::uint8_t(window)});
            m_window = window;
        }
        Record(0, start - base, bytes);
    }

    std::string Finish() {
        Record(1, 0, {});
        return m_text;
    }

  private:
    void Record(unsigned type, std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
        std::vector<std::uint8_t> line = {std::uint8_t(bytes.size()), std::uint8_t(address >> 8),
                                          std::uint8_t(address), std::uint8_t(type)};
        line.insert(line.end(), bytes.begin(), bytes.end());
        unsigned sum = 0;
        for (std::uint8_t byte : line) {
            sum += byte;
        }
        line.push_back(std::uint8_t(0x100 - (sum & 0xFF)));
        m_text += ':';
        for (std::uint8_t byte : line) {
            char digits[3];
            std::snprintf(digits, sizeof digits, m_lowerCase ? "%02x" : "%02X", byte);
            m_text += digits;
        }
        m_text += '\n';
    }

    bool m_segment;
    bool m_lowerCase;
    std::uint32_t m_window = 0;
    std::string m_text;
};
