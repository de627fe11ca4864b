// Intel HEX text for test files: record lines and small whole files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wire_text.h"

// One record line without its line break: ":", count, address, type, data and checksum in
// upper-case hex.
inline std::string IntelHexRecord(std::uint8_t type, std::uint16_t address,
                                  const std::vector<std::uint8_t>& data) {
    wire::Bytes bytes{static_cast<std::uint8_t>(data.size()),
                      static_cast<std::uint8_t>(address >> 8),
                      static_cast<std::uint8_t>(address & 0xFF), type};
    wire::Append(bytes, data);
    unsigned sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum += byte;
    }
    bytes.push_back(static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    return ":" + wire::Hex(bytes);
}

// A file of the data at address (below 0x10000), then the end record.
inline std::string IntelHexFile(std::uint16_t address, const std::vector<std::uint8_t>& data) {
    return IntelHexRecord(0x00, address, data) + "\n" + IntelHexRecord(0x01, 0, {}) + "\n";
}
