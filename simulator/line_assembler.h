// Cuts the incoming byte stream into request lines at each CR. Line feeds are ignored, so that a
// person typing into a terminal or nc is understood too; empty lines are no requests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qelsim {

class LineAssembler {
  public:
    // Longer than any request: a line that grows past it is garbage, and is reported as the
    // unreadable text kOverlongLine when its CR arrives.
    static constexpr std::size_t kMaxLine = 4096;
    static constexpr std::string_view kOverlongLine = "?";

    // Feeds one byte; a complete line comes back when the byte was its CR.
    std::optional<std::string> Push(char byte);

  private:
    std::string m_line;
    bool m_overlong = false;
};

}  // namespace qelsim
