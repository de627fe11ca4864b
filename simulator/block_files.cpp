// The device's blocks from files of raw bytes, for a device that reports something of a user's.
// Only regular files are read, and never more than the block holds: a directory, a FIFO (which
// would block until a writer comes) or an endless device such as /dev/zero is refused.
#include <filesystem>
#include <fstream>

#include "sim_options.h"

namespace qelsim {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kRawHead = 8;
constexpr std::size_t kRawMostData = 0xFFFF;  // the reply's count field has 16 bits

// Why the path cannot be read as a block file; empty when it can.
std::string Unreadable(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) {
        return "cannot read " + path;
    }
    if (fs::is_directory(status)) {
        return path + " is a directory, not a file";
    }
    if (fs::is_fifo(status)) {
        return path + " is a FIFO, not a file";
    }
    if (fs::is_character_file(status) || fs::is_block_file(status)) {
        return path + " is a device, not a file";
    }
    if (!fs::is_regular_file(status)) {
        return path + " is not a regular file";
    }
    return {};
}

std::uintmax_t SizeOf(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    return error ? 0 : size;
}

// Reads the whole file, which must hold exactly `size` bytes; one byte more is looked for, so that
// a file that grows meanwhile is not taken for the one that was measured.
std::string ReadExactly(const std::string& path, std::size_t size, std::vector<std::uint8_t>& out) {
    std::ifstream file(path, std::ios::binary);
    out.resize(size + 1);
    file.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(size + 1));
    if (!file.is_open() || file.bad()) {
        return "cannot read " + path;
    }
    if (static_cast<std::size_t>(file.gcount()) != size) {
        return path + " changed while it was read";
    }
    out.resize(size);
    return {};
}

template <std::size_t N>
std::string LoadFixed(const std::string& path, std::array<std::uint8_t, N>& block) {
    if (std::string error = Unreadable(path); !error.empty()) {
        return error;
    }
    const std::uintmax_t size = SizeOf(path);
    if (size != N) {
        return path + " holds " + std::to_string(size) + " bytes, not " + std::to_string(N);
    }
    std::vector<std::uint8_t> bytes;
    if (std::string error = ReadExactly(path, N, bytes); !error.empty()) {
        return error;
    }
    std::copy(bytes.begin(), bytes.end(), block.begin());
    return {};
}

std::string LoadRaw(const std::string& path, RawDataReply& raw) {
    if (std::string error = Unreadable(path); !error.empty()) {
        return error;
    }
    const std::uintmax_t size = SizeOf(path);
    if (size < kRawHead || size - kRawHead > kRawMostData) {
        return path + " must hold 8 to 65543 bytes";
    }
    std::vector<std::uint8_t> bytes;
    if (std::string error = ReadExactly(path, static_cast<std::size_t>(size), bytes);
        !error.empty()) {
        return error;
    }
    std::copy(bytes.begin(), bytes.begin() + 6, raw.info.begin());
    raw.valueOffset = bytes[6];
    raw.encoding = bytes[7];
    raw.data.assign(bytes.begin() + kRawHead, bytes.end());
    return {};
}

// The memory file's bytes, which must fit into the memory from the address on.
std::string LoadMemory(const std::string& file, DeviceOptions& device) {
    if (std::string error = Unreadable(file); !error.empty()) {
        return error;
    }
    const std::uintmax_t size = SizeOf(file);
    const std::uint32_t address = device.preloadAddress;
    if (address > device.memorySize || size > device.memorySize - address) {
        return file + " does not fit into the memory from its address";
    }
    return ReadExactly(file, static_cast<std::size_t>(size), device.preload);
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
    if (error.empty() && !options.loadFile.empty()) {
        error = LoadMemory(options.loadFile, options.device);
    }
    return error;
}

}  // namespace qelsim
