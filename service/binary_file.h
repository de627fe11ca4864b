// Whole binary files: memory images that qel-service saves and sends.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace service {

// The file's bytes, or nothing when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> ReadBinaryFile(const std::string& path);

// Replaces the file with bytes; false when it cannot be written completely.
bool WriteBinaryFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace service
