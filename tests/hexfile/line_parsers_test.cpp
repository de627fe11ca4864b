#include <gtest/gtest.h>

#include <string>

#include "hex_digits.h"
#include "hex_reader.h"
#include "hex_test_support.h"

namespace {

TEST(HexDigitTest, AcceptsBothCasesAndRefusesEverythingElse) {
    for (int character = 0; character < 256; ++character) {
        std::uint8_t value = 0xEE;
        const std::string digits = "0123456789abcdef";
        const auto lower = digits.find(static_cast<char>(std::tolower(character)));
        const bool isDigit = character != 0 && lower != std::string::npos;
        EXPECT_EQ(HL_HexDigit(static_cast<char>(character), &value), isDigit ? 0 : 1) << character;
        EXPECT_EQ(value, isDigit ? lower : 0xEEu) << character;
    }
    std::uint16_t word = 0;
    EXPECT_EQ(HL_HexWord("aB9f", &word), 0);
    EXPECT_EQ(word, 0xAB9F);
    EXPECT_EQ(HL_HexWord("12 4", &word), 1);
}

struct ParseCase {
    const char* line;
    int result;
    const char* message;  // the one message, or null
    unsigned address = 0;
    unsigned count = 0;
    int endOfFile = 0;
};

void ExpectOneMessageOrNone(const ReaderLog& log, const ParseCase& row) {
    if (row.message == nullptr) {
        EXPECT_TRUE(log.messages.empty()) << log.messages.front();
        return;
    }
    ASSERT_EQ(log.messages.size(), 1u);
    EXPECT_EQ(log.messages[0], row.message);
    EXPECT_EQ(log.codes[0], 1);
}

class IntelLineTest : public testing::TestWithParam<ParseCase> {};

TEST_P(IntelLineTest, GivesOutputsOrTheFirstFault) {
    const ParseCase& row = GetParam();
    ReaderLog log;
    unsigned char data[kHexMinimumDataBuffer];
    std::uint16_t address = 0xEEEE, count = 0xEEEE;
    int endOfFile = 7;
    EXPECT_EQ(HL_ParseIntelHexLine(row.line, data, &address, &count, &endOfFile, &log,
                                   &ReaderLog::OnMessage),
              row.result);
    ExpectOneMessageOrNone(log, row);
    if (row.result == 0) {
        EXPECT_EQ(address, row.address);
        EXPECT_EQ(count, row.count);
        EXPECT_EQ(endOfFile, row.endOfFile);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, IntelLineTest,
    testing::Values(ParseCase{":0400100001020304E2\n", 0, nullptr, 0x10, 4, 0},
                    ParseCase{":04abcd00abcdef011c", 0, nullptr, 0xABCD, 4, 0},
                    ParseCase{":00000001FF", 0, nullptr, 0, 0, 1},
                    ParseCase{":02010001AABB97", 0, nullptr, 0x100, 0, 1},
                    ParseCase{":0400000300001234B3", 0, nullptr, 0, 0, 0},
                    ParseCase{":04000005000000CD2A", 0, nullptr, 0, 4, 0},
                    ParseCase{":0400100001020304E2 trailing text", 0, nullptr, 0x10, 4, 0},
                    ParseCase{"", 1, "Line should start with ':' character"},
                    ParseCase{" :00000001FF", 1, "Line should start with ':' character"},
                    ParseCase{":", 1, "Cannot read number of bytes for the line"},
                    ParseCase{":G0000001FF", 1, "Cannot read number of bytes for the line"},
                    ParseCase{":000X0001FF", 1, "Cannot read data address for the line"},
                    ParseCase{":00000", 1, "Cannot read data address for the line"},
                    ParseCase{":0000000", 1, "Cannot read record type for the line"},
                    ParseCase{":00000006FA", 1, "Invalid value for the record type"},
                    ParseCase{":000000FF01", 1, "Invalid value for the record type"},
                    ParseCase{":0400100001", 1, "Cannot read data byte from the hex file line"},
                    ParseCase{":FF0000000102", 1, "Cannot read data byte from the hex file line"},
                    ParseCase{":04001000010203x4E2", 1,
                              "Cannot read data byte from the hex file line"},
                    ParseCase{":0400100001020304", 1, "Cannot read checksum byte for the line"},
                    ParseCase{":0400100001020304E", 1, "Cannot read checksum byte for the line"},
                    ParseCase{":0400100001020304E3", 1,
                              "Calculated checksum does not match to the read one."}));

TEST(IntelLineTest, ExtendedRecordsSetTheReaderStateAndDeliverNothing) {
    struct Row {
        const char* line;
        std::int32_t type;
        std::int32_t address;
    };
    // Short records count their missing bytes as 0, whatever the buffer held before.
    const Row rows[] = {{":020000040001F9", 4, 1},
                        {":020000021000EC", 2, 0x1000},
                        {":0100000412E9", 4, 0x1200},
                        {":00000004FC", 4, 0},
                        {":0100000212EB", 2, 0x1200}};
    for (const Row& row : rows) {
        unsigned char data[kHexMinimumDataBuffer] = {0xAB, 0xCD};
        std::uint16_t address = 0, count = 0;
        int endOfFile = 0;
        HL_SetExtendedType(0);
        HL_SetExtendedAddress(0x7777);
        ASSERT_EQ(
            HL_ParseIntelHexLine(row.line, data, &address, &count, &endOfFile, nullptr, nullptr), 0)
            << row.line;
        EXPECT_EQ(HL_GetExtendedType(), row.type) << row.line;
        EXPECT_EQ(HL_GetExtendedAddress(), row.address) << row.line;
        EXPECT_EQ(count, 0u) << row.line;
    }
}

class SRecordLineTest : public testing::TestWithParam<ParseCase> {};

TEST_P(SRecordLineTest, GivesOutputsOrTheFirstFault) {
    const ParseCase& row = GetParam();
    ReaderLog log;
    unsigned char data[kHexMinimumDataBuffer];
    std::uint16_t address = 0, count = 0;
    int endOfFile = 0;
    EXPECT_EQ(HL_ParseSRecordLine(row.line, data, &address, &count, &endOfFile, &log,
                                  &ReaderLog::OnMessage),
              row.result);
    ExpectOneMessageOrNone(log, row);
    if (row.result == 0) {
        EXPECT_EQ(address, row.address);
        EXPECT_EQ(count, row.count);
        EXPECT_EQ(endOfFile, row.endOfFile);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SRecordLineTest,
    testing::Values(ParseCase{"S1061234010203AD\n", 0, nullptr, 0x1234, 3, 0},
                    ParseCase{"s1061234010203ad", 1, "Line should start with 'S' character"},
                    ParseCase{"S9030000FC", 0, nullptr, 0, 0, 1},
                    ParseCase{"S1030010EC", 0, nullptr, 0x10, 0, 0},
                    ParseCase{":00000001FF", 1, "Line should start with 'S' character"},
                    ParseCase{"S004000048B3", 1, "Invalid value for the record type"},
                    ParseCase{"S", 1, "Invalid value for the record type"},
                    ParseCase{"S1020000FD", 1, "Cannot read number of bytes for the line"},
                    ParseCase{"S1Z6", 1, "Cannot read number of bytes for the line"},
                    ParseCase{"S10612", 1, "Cannot read data address for the line"},
                    ParseCase{"S1FF1234", 1, "Cannot read data byte from the hex file line"},
                    ParseCase{"S1061234010203", 1, "Cannot read checksum byte for the line"},
                    ParseCase{"S1061234010203AE", 1,
                              "Calculated checksum does not match to the read one."}));

TEST(SegmentedLineTest, AppliesTheSegmentBaseToEveryGoodLine) {
    struct Row {
        const char* line;
        unsigned address;
        unsigned count;
        int endOfFile;
        std::int32_t baseAfter;
    };
    // The base stays until the next type-2 record; types 3 to 5 are accepted and ignored.
    const Row rows[] = {{":0401000001020304F1", 0x100, 4, 0, 0},
                        {":020000021000EC", 0x10000, 0, 0, 0x10000},
                        {":0401000001020304F1", 0x10100, 4, 0, 0x10000},
                        {":020000040001F9", 0x10000, 0, 0, 0x10000},
                        {":04000005000000CD2A", 0x10000, 0, 0, 0x10000},
                        {":0100000212EB", 0x120, 0, 0, 0x120},
                        {":03000002010203F5", 0x102030, 0, 0, 0x102030},
                        {":00000002FE", 0, 0, 0, 0},
                        {":02010001AABB97", 0x100, 2, 1, 0}};
    HL_SetSegmentBase(0);
    for (const Row& row : rows) {
        unsigned char data[kHexMinimumDataBuffer];
        std::uint32_t address = 0, count = 0;
        int endOfFile = 0;
        ASSERT_EQ(HL_ParseSegmentedHexLine(row.line, data, &address, &count, &endOfFile, nullptr,
                                           nullptr),
                  0)
            << row.line;
        EXPECT_EQ(address, row.address) << row.line;
        EXPECT_EQ(count, row.count) << row.line;
        EXPECT_EQ(endOfFile, row.endOfFile) << row.line;
        EXPECT_EQ(HL_GetSegmentBase(), row.baseAfter) << row.line;
    }
    ReaderLog log;
    unsigned char data[kHexMinimumDataBuffer];
    std::uint32_t address = 0, count = 0;
    int endOfFile = 0;
    EXPECT_EQ(HL_ParseSegmentedHexLine(":00000007F9", data, &address, &count, &endOfFile, &log,
                                       &ReaderLog::OnMessage),
              1);
    EXPECT_EQ(log.messages, std::vector<std::string>{"Invalid value for the record type"});
}

}  // namespace
