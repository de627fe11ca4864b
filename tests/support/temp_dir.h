// A folder of its own for a test's files, removed with everything in it when the test ends; and
// reading a file back whole.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

class TempDir {
  public:
    TempDir() {
        // create_directory fails on a name that is already taken, so the folder is new and ours.
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do {
            m_path = base / ("qel-test-" + std::to_string(random()) + std::to_string(random()));
        } while (!std::filesystem::create_directory(m_path));
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The path of name in the folder (the folder itself for no name); nothing is created.
    std::string Path(const std::string& name = "") const { return (m_path / name).string(); }

    // Writes the content to name, replacing what was there, and returns its path.
    std::string Write(const std::string& name, const std::string& content) const {
        std::ofstream(m_path / name, std::ios::binary) << content;
        return Path(name);
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }

  private:
    std::filesystem::path m_path;
};

// The whole content of a file; empty when it cannot be read.
inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    const std::string text = ReadFileText(path);
    return {text.begin(), text.end()};
}
