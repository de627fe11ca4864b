#include "line_writer.h"

namespace cli {

void LineWriter::WriteLine(std::string_view text) {
    WriteLocked(text, true);
}

void LineWriter::Write(std::string_view text) {
    WriteLocked(text, false);
}

void LineWriter::WriteLocked(std::string_view text, bool lineBreak) {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_overlay != nullptr) {
        m_overlay->Erase();
    }
    std::fwrite(text.data(), 1, text.size(), m_stream);
    if (lineBreak) {
        std::fputc('\n', m_stream);
    }
    std::fflush(m_stream);
    if (m_overlay != nullptr) {
        m_overlay->Draw();
    }
}

void LineWriter::SetOverlay(Overlay* overlay) {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_overlay != nullptr) {
        m_overlay->Erase();
    }
    m_overlay = overlay;
    if (m_overlay != nullptr) {
        m_overlay->Draw();
    }
}

void LineWriter::DrawOverlay() {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (m_overlay != nullptr) {
        m_overlay->Draw();
    }
}

LineWriter& StandardOutput() {
    static LineWriter writer(stdout);
    return writer;
}

}  // namespace cli
