#include "line_assembler.h"

namespace qelsim {

std::optional<std::string> LineAssembler::Push(char byte) {
    if (byte == '\n') {
        return std::nullopt;
    }
    if (byte != '\r') {
        if (m_line.size() < kMaxLine) {
            m_line.push_back(byte);
        } else {
            m_overlong = true;
        }
        return std::nullopt;
    }
    std::string line = m_overlong ? std::string(kOverlongLine) : std::move(m_line);
    m_line.clear();
    m_overlong = false;
    if (line.empty()) {
        return std::nullopt;
    }
    return line;
}

}  // namespace qelsim
