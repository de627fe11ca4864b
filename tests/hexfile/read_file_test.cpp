#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hex_file.h"
#include "hex_test_support.h"
#include "image_loader.h"

namespace {

// Every "{}" of text becomes the path.
std::string WithPath(std::string text, const std::string& path) {
    for (auto at = text.find("{}"); at != std::string::npos; at = text.find("{}", at)) {
        text.replace(at, 2, path);
        at += path.size();
    }
    return text;
}

struct LoadOutcome {
    int result;
    char* image;
    int first;
    int end;
    std::string printed;
};

LoadOutcome ReadFile(const std::string& path) {
    LoadOutcome outcome{0, reinterpret_cast<char*>(1), -7, -7, {}};
    testing::internal::CaptureStdout();
    outcome.result = HL_ReadFile(path.c_str(), &outcome.image, &outcome.first, &outcome.end);
    outcome.printed = testing::internal::GetCapturedStdout();
    return outcome;
}

const std::string kEnd = ":00000001FF\n";
const std::string kAt3000 = ":10300000000102030405060708090A0B0C0D0E0F48\n";
const std::string kAt3010 = ":10301000000102030405060708090A0B0C0D0E0F38\n";
const std::string kAt3100 = ":10310000000102030405060708090A0B0C0D0E0F47\n";
const std::string kAt4000 = ":10400000000102030405060708090A0B0C0D0E0F38\n";
const std::string kAt0000 = ":10000000000102030405060708090A0B0C0D0E0F78\n";
const std::string kLinear7 = ":020000040007F3\n";
const std::string kLinear0 = ":020000040000FA\n";
const std::string kSegment1000 = ":020000021000EC\n";
const std::string kStartLinear = ":0400000500003000C7\n";

struct GoodCase {
    const char* name;
    std::string content;
    int first;
    int end;
    std::vector<HL_AddressRange> ranges;
};

class ReadFileGoodTest : public testing::TestWithParam<GoodCase> {};

TEST_P(ReadFileGoodTest, GivesTheSpanOfStoredDataAndFileOrderRanges) {
    const GoodCase& row = GetParam();
    TempDir dir;
    const LoadOutcome outcome = ReadFile(dir.Write("in.hex", row.content));
    ASSERT_EQ(outcome.result, 0) << outcome.printed;
    EXPECT_EQ(outcome.printed, "");
    EXPECT_EQ(outcome.first, row.first);
    EXPECT_EQ(outcome.end, row.end);
    const auto& ranges = HL_GetAddressRanges();
    ASSERT_EQ(ranges.size(), row.ranges.size());
    for (std::size_t index = 0; index < ranges.size(); ++index) {
        EXPECT_EQ(ranges[index].start, row.ranges[index].start);
        EXPECT_EQ(ranges[index].end, row.ranges[index].end);
    }
    EXPECT_EQ(HL_GetLastEnd(), row.ranges.back().end);
    EXPECT_EQ(static_cast<unsigned char>(outcome.image[kImageSize - 1]), 0xFF);
    delete[] outcome.image;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadFileGoodTest,
    testing::Values(
        GoodCase{"Contiguous", kAt3000 + kAt3010 + kEnd, 0x3000, 0x3020, {{0x3000, 0x3020}}},
        GoodCase{
            "Gap", kAt3000 + kAt3100 + kEnd, 0x3000, 0x3110, {{0x3000, 0x3010}, {0x3100, 0x3110}}},
        GoodCase{"BackwardsGivesLowestAndHighest",
                 kAt4000 + kAt3000 + kEnd,
                 0x3000,
                 0x4010,
                 {{0x4000, 0x4010}, {0x3000, 0x3010}}},
        GoodCase{"LastByteBelowLimit",
                 kLinear7 + ":0FFFF000000102030405060708090A0B0C0D0E99\n" + kEnd,
                 0x7FFF0,
                 0x7FFFF,
                 {{0x7FFF0, 0x7FFFF}}},
        GoodCase{"ExtendedSegment",
                 kSegment1000 + kAt0000 + kEnd,
                 0x10000,
                 0x10010,
                 {{0x10000, 0x10010}}},
        GoodCase{"StartLinearSkipsUntilNextExtended",
                 kStartLinear + kAt3000 + kLinear0 + kAt4000 + kEnd,
                 0x4000,
                 0x4010,
                 {{0x4000, 0x4010}}}),
    CaseName());

TEST(ReadFileTest, GapsStayErasedAndLaterRecordsOverwrite) {
    TempDir dir;
    const std::string overlap = ":023005009988A8\n";
    const LoadOutcome outcome = ReadFile(dir.Write("in.hex", kAt3000 + kAt3100 + overlap + kEnd));
    ASSERT_EQ(outcome.result, 0);
    const auto* image = reinterpret_cast<const unsigned char*>(outcome.image);
    EXPECT_EQ(image[0x3004], 4);
    EXPECT_EQ(image[0x3005], 0x99);
    EXPECT_EQ(image[0x3006], 0x88);
    for (int address = 0x3010; address < 0x3100; ++address) {
        ASSERT_EQ(image[address], 0xFF) << address;
    }
    delete[] outcome.image;
}

struct BadCase {
    const char* name;
    std::string content;
    std::string printed;  // "{}" stands for the path
};

class ReadFileBadTest : public testing::TestWithParam<BadCase> {};

TEST_P(ReadFileBadTest, PrintsTheReasonAndReleasesTheImage) {
    const BadCase& row = GetParam();
    TempDir dir;
    const std::string path = dir.Write("in.hex", row.content);
    const LoadOutcome outcome = ReadFile(path);
    EXPECT_EQ(outcome.result, 2103);
    EXPECT_EQ(outcome.printed, WithPath(row.printed, path));
    EXPECT_EQ(outcome.image, nullptr);
    EXPECT_EQ(outcome.first, -7);
    EXPECT_EQ(outcome.end, -7);
}

const std::string kLoadFailed = "Error loading the file.\nError loading file '{}', ec=1";
const std::string kNoData = "\nInput file '{}' doesn't have data to download";
const std::string kHugeLine = ":FF000000" + std::string(99991, 'F') + "\n";

INSTANTIATE_TEST_SUITE_P(
    Files, ReadFileBadTest,
    testing::Values(
        BadCase{"OnlyEndRecord", kEnd, kNoData},
        BadCase{"OnlyStartLinearData", kStartLinear + kAt3000 + kEnd, kNoData},
        BadCase{"EndOfImage", kLinear7 + ":10FFF000000102030405060708090A0B0C0D0E0F89\n" + kEnd,
                kLoadFailed},
        BadCase{"FarBeyondImage", ":02000004FFFFFC\n" + kAt0000 + kEnd, kLoadFailed},
        BadCase{"NoEndRecord", kAt3000, "Error reading from the hex file." + kLoadFailed},
        BadCase{"EmptyFile", "", "Error reading from the hex file." + kLoadFailed},
        BadCase{"BadLine", kAt3000 + "x\n" + kEnd,
                "Line should start with ':' characterError parsing the line.x\n" + kLoadFailed},
        BadCase{"CountOverrunsLine", ":FF30000000\n",
                "Cannot read data byte from the hex file lineError parsing the line."
                ":FF30000000\n" +
                    kLoadFailed},
        BadCase{"HugeLine", kHugeLine,
                "Calculated checksum does not match to the read one.Error parsing the line." +
                    kHugeLine.substr(0, 4095) + kLoadFailed},
        BadCase{"BinaryGarbage",
                std::string("\x7f"
                            "ELF\0\x01\x02\n\xff\xfe",
                            10),
                "Line should start with ':' characterError parsing the line.\x7f"
                "ELF" +
                    kLoadFailed}),
    CaseName());

TEST(ReadFileTest, FilesThatDoNotOpen) {
    TempDir dir;
    const std::string missing = (dir.Path() / "missing.hex").string();
    LoadOutcome outcome = ReadFile(missing);
    EXPECT_EQ(outcome.result, 2103);
    EXPECT_EQ(outcome.printed, WithPath("Cannot open hexFile for reading.\nError loading file "
                                        "'{}', ec=1",
                                        missing));
    EXPECT_EQ(outcome.image, nullptr);
    outcome = ReadFile(dir.Path().string());
    EXPECT_EQ(outcome.result, 2103);
    EXPECT_EQ(outcome.printed, WithPath(kLoadFailed, dir.Path().string()));
    EXPECT_EQ(outcome.image, nullptr);
}

TEST(ReadFileTest, RefusesMissingArgumentsWithoutTouchingOutputs) {
    char* image = reinterpret_cast<char*>(1);
    int first = -7, end = -7;
    testing::internal::CaptureStdout();
    EXPECT_EQ(HL_ReadFile(nullptr, &image, &first, &end), -1);
    EXPECT_EQ(HL_ReadFile("", &image, &first, &end), -1);
    EXPECT_EQ(HL_ReadFile("x.hex", nullptr, &first, &end), -1);
    EXPECT_EQ(HL_ReadFile("x.hex", &image, nullptr, &end), -1);
    EXPECT_EQ(HL_ReadFile("x.hex", &image, &first, nullptr), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(image, reinterpret_cast<char*>(1));
    EXPECT_EQ(first + end, -14);
}

TEST(ReadFileTest, FailedAllocationGives2103AndAMessage) {
    TempDir dir;
    const std::string path = dir.Write("in.hex", kAt3000 + kEnd);
    const HL_ImageAllocator previous =
        HL_SetImageAllocator([](std::size_t) -> char* { return nullptr; });
    const LoadOutcome outcome = ReadFile(path);
    HL_SetImageAllocator(previous);
    EXPECT_EQ(outcome.result, 2103);
    EXPECT_EQ(outcome.printed, WithPath("\nNot enough memory to load file '{}'", path));
    EXPECT_EQ(outcome.image, nullptr);
    EXPECT_EQ(outcome.first, -7);
}

TEST(ReadFileTest, TwiceGivesTheSameResultInNewImages) {
    TempDir dir;
    const std::string path = dir.Write("in.hex", kLinear0 + kAt4000 + kAt3000 + kEnd);
    const LoadOutcome once = ReadFile(path);
    const LoadOutcome twice = ReadFile(path);
    ASSERT_EQ(once.result, 0);
    ASSERT_EQ(twice.result, 0);
    EXPECT_NE(once.image, twice.image);
    EXPECT_EQ(std::memcmp(once.image, twice.image, kImageSize), 0);
    EXPECT_EQ(once.first, twice.first);
    EXPECT_EQ(once.end, twice.end);
    EXPECT_EQ(HL_GetAddressRanges().size(), 2u);
    delete[] once.image;
    delete[] twice.image;
}

TEST(CopyRecordToImageTest, RefusesNegativeAddressesAndSkipsEmptyRecords) {
    HL_SetExtendedType(0);
    HL_ResetAddressRanges();
    unsigned char image[16] = {};
    const unsigned char data[1] = {5};
    EXPECT_EQ(HL_CopyRecordToImage(image, 0x80000000u, 1, data), 1);
    EXPECT_EQ(HL_CopyRecordToImage(image, 3, 0, data), 0);
    EXPECT_TRUE(HL_GetAddressRanges().empty());
    EXPECT_EQ(HL_GetLastEnd(), -1);
    HL_SetExtendedType(2);
    HL_SetExtendedAddress(-1);
    EXPECT_EQ(HL_CopyRecordToImage(image, 0, 1, data), 1);
    HL_SetExtendedType(0);
}

TEST(PrintMessageTest, PrintsTextAsItIsWithoutALineBreak) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(HL_PrintMessage(nullptr, 5, "100% %s %d"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "100% %s %d");
}

}  // namespace
