#include <gtest/gtest.h>

#include "hex_digits.h"
#include "hex_reader.h"
#include "reader_log.h"

namespace {

TEST(HexDigitTest, AcceptsBothCasesAndNothingElse) {
    const std::string digits = "0123456789abcdef";
    for (int character = 1; character < 256; ++character) {
        std::uint8_t value = 0xEE;
        const auto expected = digits.find(static_cast<char>(std::tolower(character)));
        ASSERT_EQ(HL_HexDigit(static_cast<char>(character), &value), expected == digits.npos);
        EXPECT_EQ(value, expected == digits.npos ? 0xEE : expected) << character;
    }
    std::uint16_t word = 0;
    EXPECT_EQ(HL_HexWord("aB9f", &word), 0);
    EXPECT_EQ(word, 0xAB9F);
    EXPECT_EQ(HL_HexWord("12\0"
                         "4",
                         &word),
              1);
}

enum Parser { kIntel, kSRecord, kSegmented };

struct Line {
    Parser parser;
    const char* text;
    const char* message;  // "" for a good line
    unsigned address = 0, count = 0;
    int endOfFile = 0;
    std::int32_t state = 0;  // extended address, or segment base for the segmented parser
};

// Rows run in order: the reader state carries from one line to the next, as in a file.
const Line kLines[] = {
    {kIntel, ":0400100001020304E2\n", "", 0x10, 4},
    {kIntel, ":04abcd00abcdef011c trailing", "", 0xABCD, 4},
    {kIntel, ":00000001FF", "", 0, 0, 1},
    {kIntel, ":0400000300001234B3", "", 0, 0},
    {kIntel, ":04000005000000CD2A", "", 0, 4},
    {kIntel, ":020000040001F9", "", 0, 0, 0, 1},
    {kIntel, ":020000021000EC", "", 0, 0, 0, 0x1000},
    // Short extended records count their missing bytes as 0.
    {kIntel, ":0100000412E9", "", 0, 0, 0, 0x1200},
    {kIntel, ":00000004FC", "", 0, 0, 0, 0},
    {kIntel, "", "Line should start with ':' character"},
    {kIntel, " :00000001FF", "Line should start with ':' character"},
    {kIntel, ":", "Cannot read number of bytes for the line"},
    {kIntel, ":G0000001FF", "Cannot read number of bytes for the line"},
    {kIntel, ":00000", "Cannot read data address for the line"},
    {kIntel, ":0000000", "Cannot read record type for the line"},
    {kIntel, ":00000006FA", "Invalid value for the record type"},
    {kIntel, ":FF0000000102", "Cannot read data byte from the hex file line"},
    {kIntel, ":04001000010203x4E2", "Cannot read data byte from the hex file line"},
    {kIntel, ":0400100001020304E", "Cannot read checksum byte for the line"},
    {kIntel, ":0400100001020304E3", "Calculated checksum does not match to the read one."},
    {kSRecord, "S1061234010203AD\n", "", 0x1234, 3},
    {kSRecord, "S9030000FC", "", 0, 0, 1},
    {kSRecord, "s1061234010203ad", "Line should start with 'S' character"},
    {kSRecord, "S004000048B3", "Invalid value for the record type"},
    {kSRecord, "S1020000FD", "Cannot read number of bytes for the line"},
    {kSRecord, "S10612", "Cannot read data address for the line"},
    {kSRecord, "S1FF1234", "Cannot read data byte from the hex file line"},
    {kSRecord, "S1061234010203", "Cannot read checksum byte for the line"},
    {kSRecord, "S1061234010203AE", "Calculated checksum does not match to the read one."},
    {kSegmented, ":020000021000EC", "", 0x10000, 0, 0, 0x10000},
    {kSegmented, ":0401000001020304F1", "", 0x10100, 4, 0, 0x10000},
    {kSegmented, ":020000040001F9", "", 0x10000, 0, 0, 0x10000},
    {kSegmented, ":03000002010203F5", "", 0x102030, 0, 0, 0x102030},
    {kSegmented, ":00000002FE", "", 0, 0, 0, 0},
    {kSegmented, ":02010001AABB97", "", 0x100, 2, 1, 0},
    {kSegmented, ":00000007F9", "Invalid value for the record type"},
};

TEST(LineParsersTest, GiveOutputsOrOneMessageForTheFirstFault) {
    HL_SetSegmentBase(0);
    HL_SetExtendedAddress(0);
    HL_SetExtendedType(0);
    for (const Line& line : kLines) {
        SCOPED_TRACE(line.text);
        ReaderLog log;
        unsigned char data[kHexMinimumDataBuffer] = {0xAB, 0xCD};
        std::uint16_t address = 0xEEEE, count = 0xEEEE;
        std::uint32_t wideAddress = 0xEEEE, wideCount = 0xEEEE;
        int endOfFile = 7, result = 0;
        if (line.parser == kSegmented) {
            result = HL_ParseSegmentedHexLine(line.text, data, &wideAddress, &wideCount, &endOfFile,
                                              &log, &ReaderLog::OnMessage);
        } else {
            auto* parse = line.parser == kIntel ? &HL_ParseIntelHexLine : &HL_ParseSRecordLine;
            result =
                parse(line.text, data, &address, &count, &endOfFile, &log, &ReaderLog::OnMessage);
            wideAddress = address;
            wideCount = count;
        }
        EXPECT_EQ(log.messages, line.message);
        EXPECT_EQ(result, *line.message == '\0' ? 0 : 1);
        if (result == 0) {
            EXPECT_EQ(wideAddress, line.address);
            EXPECT_EQ(wideCount, line.count);
            EXPECT_EQ(endOfFile, line.endOfFile);
            EXPECT_EQ(line.parser == kSegmented ? HL_GetSegmentBase() : HL_GetExtendedAddress(),
                      line.state);
        }
    }
    EXPECT_EQ(HL_GetExtendedType(), 4);
}

}  // namespace
