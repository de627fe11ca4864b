// The device's blocks from files of raw bytes, for a device that reports something of a user's.
#include <fstream>
#include <iterator>

#include "sim_options.h"

namespace qelsim {
namespace {

bool ReadWhole(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

template <std::size_t N>
std::string LoadFixed(const std::string& path, std::array<std::uint8_t, N>& block) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(path, bytes)) {
        return "cannot read " + path;
    }
    if (bytes.size() != N) {
        return path + " holds " + std::to_string(bytes.size()) + " bytes, not " + std::to_string(N);
    }
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return {};
}

std::string LoadRaw(const std::string& path, RawDataReply& raw) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWhole(path, bytes)) {
        return "cannot read " + path;
    }
    constexpr std::size_t kHead = 8;
    if (bytes.size() < kHead || bytes.size() - kHead > 0xFFFF) {
        return path + " must hold 8 to 65543 bytes";
    }
    std::copy(bytes.begin(), bytes.begin() + 6, raw.info.begin());
    raw.valueOffset = bytes[6];
    raw.encoding = bytes[7];
    raw.data.assign(bytes.begin() + kHead, bytes.end());
    return {};
}

}  // namespace

std::string LoadBlockFiles(SimOptions& options) {
    std::string error;
    if (error.empty() && !options.configFile.empty()) {
        error = LoadFixed(options.configFile, options.device.configuration);
    }
    if (error.empty() && !options.dataFile.empty()) {
        error = LoadFixed(options.dataFile, options.device.dataPayload);
    }
    if (error.empty() && !options.rawFile.empty()) {
        error = LoadRaw(options.rawFile, options.device.rawData);
    }
    return error;
}

}  // namespace qelsim
