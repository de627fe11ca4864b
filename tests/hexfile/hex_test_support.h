// Temp files, a message log and a record log for the reader's tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hex_reader.h"

// A directory of the test's own, removed with everything in it when the test ends.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qel-hex-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

    std::string Write(const std::string& name, const std::string& content) const {
        const std::filesystem::path file = m_path / name;
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }

  private:
    std::filesystem::path m_path;
};

struct ReaderLog {
    struct Record {
        unsigned address;
        std::vector<unsigned char> data;
        bool operator==(const Record&) const = default;
    };
    std::vector<std::string> messages;
    std::vector<int> codes;
    std::vector<Record> records;
    int recordResult = 0;

    static int OnMessage(void* context, int code, const char* text) {
        auto* log = static_cast<ReaderLog*>(context);
        log->messages.emplace_back(text);
        log->codes.push_back(code);
        return 0;
    }
    static int OnRecord(void* context, unsigned address, unsigned count,
                        const unsigned char* data) {
        auto* log = static_cast<ReaderLog*>(context);
        log->records.push_back({address, std::vector<unsigned char>(data, data + count)});
        return log->recordResult;
    }
};

// Names parameterised cases after their row's name field.
struct CaseName {
    template <typename Row>
    std::string operator()(const testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};
