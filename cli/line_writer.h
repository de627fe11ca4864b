// Whole lines to one stream, from any number of sinks in any number of threads: each line is
// written and flushed under a lock, so that lines of two devices never mix within a line.
#pragma once

#include <cstdio>
#include <mutex>
#include <string_view>

namespace cli {

class LineWriter {
  public:
    explicit LineWriter(std::FILE* stream) : m_stream(stream) {}

    // Writes text and a line break, then flushes, so that a reader sees each line as it comes.
    void WriteLine(std::string_view text);
    // Writes text as it is (the texts of the default output carry their own line breaks).
    void Write(std::string_view text);

  private:
    std::FILE* m_stream;
    std::mutex m_lock;
};

// The writer of standard output that every sink of the process shares.
LineWriter& StandardOutput();

}  // namespace cli
