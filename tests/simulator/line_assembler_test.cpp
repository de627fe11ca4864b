// Cutting the byte stream into request lines.
#include <gtest/gtest.h>

#include "line_assembler.h"

namespace {

std::vector<std::string> Lines(const std::string& stream) {
    qelsim::LineAssembler assembler;
    std::vector<std::string> lines;
    for (const char byte : stream) {
        if (auto line = assembler.Push(byte)) {
            lines.push_back(*line);
        }
    }
    return lines;
}

TEST(LineAssembler, CutsAtEveryCr) {
    EXPECT_EQ(Lines("AB\rCD\rEF"), (std::vector<std::string>{"AB", "CD"}));
}

TEST(LineAssembler, IgnoresLineFeedsAndEmptyLines) {
    EXPECT_EQ(Lines("AB\r\n\r\nC\nD\r\r"), (std::vector<std::string>{"AB", "CD"}));
}

TEST(LineAssembler, OverlongLineBecomesOneUnreadableLine) {
    const std::string overlong(qelsim::LineAssembler::kMaxLine + 1, 'A');
    EXPECT_EQ(Lines(overlong + "\rAB\r"),
              (std::vector<std::string>{std::string(qelsim::LineAssembler::kOverlongLine), "AB"}));
}

TEST(LineAssembler, LineOfTheLargestSizeIsKept) {
    const std::string longest(qelsim::LineAssembler::kMaxLine, 'A');
    EXPECT_EQ(Lines(longest + "\r"), (std::vector<std::string>{longest}));
}

}  // namespace
