// Small Intel HEX files in a directory of their own that is removed afterwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace orvane_test {

// One record line: ":", count, address, type, data, checksum, in uppercase hex.
inline std::string HexRecord(std::uint16_t address, std::uint8_t type,
                             const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(data.size()),
                                       static_cast<std::uint8_t>(address >> 8),
                                       static_cast<std::uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (std::uint8_t byte : bytes) {
        sum += byte;
    }
    bytes.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    std::string line = ":";
    char digits[3];
    for (std::uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        line += digits;
    }
    return line;
}

class HexFileDirectory {
  public:
    HexFileDirectory() {
        std::random_device seed;
        m_path = std::filesystem::temp_directory_path() /
                 ("orvane_test_" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(m_path);
    }
    ~HexFileDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    HexFileDirectory(const HexFileDirectory&) = delete;
    HexFileDirectory& operator=(const HexFileDirectory&) = delete;

    // A file holding data at address (below 0x10000), then the end record.
    std::string Write(const std::string& name, std::uint16_t address,
                      const std::vector<std::uint8_t>& data) {
        const std::filesystem::path file = m_path / name;
        std::ofstream out(file);
        out << HexRecord(address, 0x00, data) << "\n" << HexRecord(0, 0x01, {}) << "\n";
        return file.string();
    }
    std::string Missing() const { return (m_path / "missing.hex").string(); }

  private:
    std::filesystem::path m_path;
};

}  // namespace orvane_test
