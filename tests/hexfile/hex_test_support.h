// A test-owned temp folder and a log of the reader's callbacks.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

// Removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir() {
        // A new folder of its own: create_directory fails on a name that is already taken.
        std::random_device random;
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        do {
            m_path = base / ("qel-hex-" + std::to_string(random()));
        } while (!std::filesystem::create_directory(m_path));
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const char* name = "") const { return (m_path / name).string(); }
    std::string Write(const std::string& content, const char* name = "in.hex") const {
        std::ofstream(m_path / name, std::ios::binary) << content;
        return Path(name);
    }

  private:
    std::filesystem::path m_path;
};

// Messages joined by "|", records as "address:bytes" joined by " ", both in hex.
struct ReaderLog {
    std::string messages;
    std::string records;
    std::string codes;
    int recordResult = 0;

    static int OnMessage(void* context, int code, const char* text) {
        auto* log = static_cast<ReaderLog*>(context);
        log->messages += (log->messages.empty() ? "" : "|") + std::string(text);
        log->codes += std::to_string(code) + " ";
        return 0;
    }
    static int OnRecord(void* context, unsigned address, unsigned count,
                        const unsigned char* data) {
        auto* log = static_cast<ReaderLog*>(context);
        char text[16];
        std::snprintf(text, sizeof text, "%s%X:", log->records.empty() ? "" : " ", address);
        log->records += text;
        for (unsigned index = 0; index < count; ++index) {
            std::snprintf(text, sizeof text, "%02X", data[index]);
            log->records += text;
        }
        return log->recordResult;
    }
};

// Names parameterised cases, and prints their rows, by their name field.
struct CaseName {
    template <typename Row>
    std::string operator()(const testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};
