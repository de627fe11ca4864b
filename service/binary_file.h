// Binary files that qel-service saves: memory ranges read from a device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace service {

// Replaces the file with bytes; false when it cannot be written completely.
bool WriteBinaryFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace service
