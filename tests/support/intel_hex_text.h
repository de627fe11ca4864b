// Intel HEX text for test files: record lines and small whole files.
#pragma once

#include <algorithm>
#include <cstddef>
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

// A file of the data at address (its end below 0x10000) in records of up to 255 bytes, then
// the end record.
inline std::string IntelHexFile(std::uint16_t address, const std::vector<std::uint8_t>& data) {
    constexpr std::size_t kLongestRecord = 255;
    std::string file;
    for (std::size_t at = 0; at < data.size() || at == 0; at += kLongestRecord) {
        const auto end =
            data.begin() + static_cast<std::ptrdiff_t>(std::min(data.size(), at + kLongestRecord));
        file += IntelHexRecord(0x00, static_cast<std::uint16_t>(address + at),
                               {data.begin() + static_cast<std::ptrdiff_t>(at), end}) +
                "\n";
    }
    return file + IntelHexRecord(0x01, 0, {}) + "\n";
}
