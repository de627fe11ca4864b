#include "line_writer.h"

namespace cli {

void LineWriter::WriteLine(std::string_view text) {
    const std::lock_guard<std::mutex> hold(m_lock);
    std::fwrite(text.data(), 1, text.size(), m_stream);
    std::fputc('\n', m_stream);
    std::fflush(m_stream);
}

void LineWriter::Write(std::string_view text) {
    const std::lock_guard<std::mutex> hold(m_lock);
    std::fwrite(text.data(), 1, text.size(), m_stream);
    std::fflush(m_stream);
}

LineWriter& StandardOutput() {
    static LineWriter writer(stdout);
    return writer;
}

}  // namespace cli
