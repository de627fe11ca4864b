#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "case_name.h"
#include "event_recorder.h"
#include "hex_file.h"
#include "hex_reader.h"
#include "image_loader.h"
#include "intel_hex_text.h"
#include "temp_dir.h"

namespace {

struct Loaded {
    int result;
    char* image = reinterpret_cast<char*>(1);
    int first = -7, end = -7;
    std::string printed;
};

// Through HL_ReadFile, or with a sink of the test's.
Loaded ReadFile(const std::string& path, qel::EventSink* sink = nullptr) {
    Loaded loaded{0, reinterpret_cast<char*>(1), -7, -7, ""};
    testing::internal::CaptureStdout();
    loaded.result =
        sink != nullptr
            ? HL_ReadFileWithSink(path.c_str(), &loaded.image, &loaded.first, &loaded.end, sink)
            : HL_ReadFile(path.c_str(), &loaded.image, &loaded.first, &loaded.end);
    loaded.printed = testing::internal::GetCapturedStdout();
    return loaded;
}

// A record of the 16 bytes 00 to 0F.
std::string Data(std::uint16_t address) {
    return IntelHexRecord(0x00, address, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}) +
           "\n";
}

const std::string kEnd = ":00000001FF\n";
const std::string kLinear7 = ":020000040007F3\n";
const std::string kStartLinear = ":0400000500003000C7\n";
const std::string kFailed = "Error loading the file.\nError loading file '@', ec=1";
const std::string kNoData = "\nInput file '@' doesn't have data to download";
const std::string kHugeLine = ":FF000000" + std::string(99991, 'F') + "\n";

struct ReadCase {
    const char* name;
    std::string content;
    int result;
    int first = -7, end = -7;
    std::string printed = "";  // "@" stands for the path
};

class ReadFileTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadFileTest, GivesTheSpanOrPrintsWhyNot) {
    const ReadCase& row = GetParam();
    TempDir dir;
    const std::string path = dir.Write("in.hex", row.content);
    const Loaded loaded = ReadFile(path);
    std::string printed = row.printed;
    if (const auto at = printed.find('@'); at != printed.npos) {
        printed.replace(at, 1, path);
    }
    EXPECT_EQ(loaded.printed, printed);
    EXPECT_EQ(loaded.result, row.result);
    EXPECT_EQ(loaded.first, row.first);
    EXPECT_EQ(loaded.end, row.end);
    EXPECT_EQ(loaded.image == nullptr, row.result != 0);
    if (loaded.result == 0) {
        EXPECT_EQ(static_cast<unsigned char>(loaded.image[kImageSize - 1]), 0xFF);
        delete[] loaded.image;
    }

    // With a sink of its own the load prints nothing: its messages are error events.
    EventRecorder events;
    const Loaded quiet = ReadFile(path, &events);
    EXPECT_EQ(quiet.printed, "");
    EXPECT_EQ(events.Text(), printed);
    for (const auto& [event, text] : events.Events()) {
        EXPECT_EQ(event.kind, QEL_EVENT_ERROR) << text;
        EXPECT_EQ(event.phase, QEL_PHASE_LOAD) << text;
    }
    EXPECT_EQ(quiet.result, row.result);
    EXPECT_EQ(quiet.first, row.first);
    if (quiet.result == 0) {
        delete[] quiet.image;
    }
}

// The reader's state is one load's at a time: loads from two threads wait for each other.
TEST(ReadFileTest, LoadsFromTwoThreadsKeepTheirOwnSpans) {
    TempDir dir;
    const std::string low = dir.Write("low.hex", Data(0x3000) + kEnd);
    const std::string high =
        dir.Write("high.hex", ":020000040001F9\n" + Data(0x2000) + Data(0x2010) + kEnd);
    // Counts the loads that fail or give another span, and the messages.
    auto load = [](const std::string& path, int expectedFirst, int expectedEnd, int* wrong) {
        EventRecorder events;
        for (int i = 0; i < 50; ++i) {
            char* image = nullptr;
            int first = 0, end = 0;
            const int result = HL_ReadFileWithSink(path.c_str(), &image, &first, &end, &events);
            *wrong += result == 0 && first == expectedFirst && end == expectedEnd ? 0 : 1;
            delete[] image;
        }
        *wrong += static_cast<int>(events.Events().size());
    };
    int wrong[2] = {0, 0};
    std::thread other(load, high, 0x12000, 0x12020, &wrong[1]);
    load(low, 0x3000, 0x3010, &wrong[0]);
    other.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadFileTest,
    testing::Values(
        ReadCase{"Contiguous", Data(0x3000) + Data(0x3010) + kEnd, 0, 0x3000, 0x3020},
        ReadCase{"Gap", Data(0x3000) + Data(0x3100) + kEnd, 0, 0x3000, 0x3110},
        ReadCase{"BackwardsGivesLowestAndHighest", Data(0x4000) + Data(0x3000) + kEnd, 0, 0x3000,
                 0x4010},
        ReadCase{"HighestEnd", kLinear7 + ":0FFFF000000102030405060708090A0B0C0D0E99\n" + kEnd, 0,
                 0x7FFF0, 0x7FFFF},
        ReadCase{"ExtendedSegment", ":020000021000EC\n" + Data(0) + kEnd, 0, 0x10000, 0x10010},
        ReadCase{"StartLinearSkipsUntilExtended",
                 kStartLinear + Data(0x3000) + ":020000040000FA\n" + Data(0x4000) + kEnd, 0, 0x4000,
                 0x4010},
        ReadCase{"OnlyEndRecord", kEnd, 2103, -7, -7, kNoData},
        ReadCase{"OnlyStartLinearData", kStartLinear + Data(0x3000) + kEnd, 2103, -7, -7, kNoData},
        ReadCase{"LastByteOfImage", kLinear7 + Data(0xFFF0) + kEnd, 2103, -7, -7, kFailed},
        ReadCase{"FarBeyondImage", ":02000004FFFFFC\n" + Data(0) + kEnd, 2103, -7, -7, kFailed},
        ReadCase{"NoEndRecord", Data(0x3000), 2103, -7, -7,
                 "Error reading from the hex file." + kFailed},
        ReadCase{"EmptyFile", "", 2103, -7, -7, "Error reading from the hex file." + kFailed},
        ReadCase{
            "CountOverrunsLine", ":FF30000000\n", 2103, -7, -7,
            "Cannot read data byte from the hex file lineError parsing the line.:FF30000000\n" +
                kFailed},
        ReadCase{"HugeLine", kHugeLine, 2103, -7, -7,
                 "Calculated checksum does not match to the read one.Error parsing the line." +
                     kHugeLine.substr(0, 4095) + kFailed},
        ReadCase{"BinaryGarbage",
                 std::string("\x7f"
                             "ELF\0\x01\n\xff",
                             8),
                 2103, -7, -7,
                 "Line should start with ':' characterError parsing the line.\x7f"
                 "ELF" +
                     kFailed}),
    CaseName());

TEST(ReadFileTest, FilesThatDoNotOpen) {
    TempDir dir;
    const Loaded missing = ReadFile(dir.Path("missing.hex"));
    EXPECT_EQ(missing.printed, "Cannot open hexFile for reading.\nError loading file '" +
                                   dir.Path("missing.hex") + "', ec=1");
    const Loaded directory = ReadFile(dir.Path());
#ifdef _WIN32
    // Windows does not open a directory as a file at all.
    EXPECT_EQ(directory.printed,
              "Cannot open hexFile for reading.\nError loading file '" + dir.Path() + "', ec=1");
#else
    EXPECT_EQ(directory.printed,
              "Error loading the file.\nError loading file '" + dir.Path() + "', ec=1");
#endif
    for (const Loaded& loaded : {missing, directory}) {
        EXPECT_EQ(loaded.result, 2103);
        EXPECT_EQ(loaded.image, nullptr);
    }
}

TEST(ReadFileTest, RefusesMissingArgumentsWithoutTouchingOutputs) {
    Loaded loaded{0, reinterpret_cast<char*>(1), -7, -7, ""};
    testing::internal::CaptureStdout();
    EXPECT_EQ(HL_ReadFile(nullptr, &loaded.image, &loaded.first, &loaded.end), -1);
    EXPECT_EQ(HL_ReadFile("", &loaded.image, &loaded.first, &loaded.end), -1);
    EXPECT_EQ(HL_ReadFile("x.hex", nullptr, &loaded.first, &loaded.end), -1);
    EXPECT_EQ(HL_ReadFile("x.hex", &loaded.image, nullptr, &loaded.end), -1);
    EXPECT_EQ(HL_ReadFile("x.hex", &loaded.image, &loaded.first, nullptr), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(loaded.image, reinterpret_cast<char*>(1));
    EXPECT_EQ(loaded.first + loaded.end, -14);
}

TEST(ReadFileTest, FailedAllocationGives2103AndAMessage) {
    TempDir dir;
    const std::string path = dir.Write("in.hex", Data(0x3000) + kEnd);
    const auto previous = HL_SetImageAllocator([](std::size_t) -> char* { return nullptr; });
    const Loaded loaded = ReadFile(path);
    HL_SetImageAllocator(previous);
    EXPECT_EQ(loaded.result, 2103);
    EXPECT_EQ(loaded.printed, "\nNot enough memory to load file '" + path + "'");
    EXPECT_EQ(loaded.image, nullptr);
    EXPECT_EQ(loaded.first, -7);
}

TEST(ReadFileTest, TwiceGivesTheSameInNewImagesAndRangesInFileOrder) {
    TempDir dir;
    const std::string path = dir.Write("in.hex", Data(0x4000) + Data(0x3000) + Data(0x3010) + kEnd);
    const Loaded once = ReadFile(path);
    const Loaded twice = ReadFile(path);
    ASSERT_EQ(once.result + twice.result, 0);
    EXPECT_NE(once.image, twice.image);
    EXPECT_EQ(std::memcmp(once.image, twice.image, kImageSize), 0);
    EXPECT_EQ(std::memcmp(once.image + 0x3010, once.image + 0x4000, 16), 0);
    EXPECT_EQ(static_cast<unsigned char>(once.image[0x3020]), 0xFF);
    EXPECT_EQ(once.first + once.end, twice.first + twice.end);
    const auto& ranges = HL_GetAddressRanges();
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].start + ranges[0].end * 0x10000, 0x4000 + 0x4010 * 0x10000);
    EXPECT_EQ(ranges[1].start + ranges[1].end * 0x10000, 0x3000 + 0x3020 * 0x10000);
    EXPECT_EQ(HL_GetLastEnd(), 0x3020);
    delete[] once.image;
    delete[] twice.image;
}

TEST(ReadFileTest, RecordsWrittenAgainAddNoRanges) {
    TempDir dir;
    std::string repeated;
    for (int i = 0; i < 20000; ++i) {
        repeated += Data(0x3000) + Data(0x4000);
    }
    // The last repeat ends where the next record starts, but the range it would continue is
    // not the last one.
    const std::string path = dir.Write("in.hex", repeated + Data(0x3000) + Data(0x3010) + kEnd);
    const Loaded loaded = ReadFile(path);
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.first, 0x3000);
    EXPECT_EQ(loaded.end, 0x4010);
    const auto& ranges = HL_GetAddressRanges();
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[1].start + ranges[1].end * 0x10000, 0x4000 + 0x4010 * 0x10000);
    EXPECT_EQ(ranges[2].start + ranges[2].end * 0x10000, 0x3010 + 0x3020 * 0x10000);
    EXPECT_EQ(HL_GetLastEnd(), 0x3020);
    delete[] loaded.image;
}

TEST(CopyRecordToImageTest, RefusesNegativeStartsAndSkipsEmptyRecords) {
    HL_SetExtendedType(0);
    HL_ResetAddressRanges();
    unsigned char image[16] = {};
    const unsigned char data[1] = {5};
    EXPECT_EQ(HL_CopyRecordToImage(image, 0x80000000u, 1, data), 1);
    EXPECT_EQ(HL_CopyRecordToImage(image, 3, 0, data), 0);
    EXPECT_EQ(HL_GetLastEnd(), -1);
    HL_SetExtendedType(2);
    HL_SetExtendedAddress(-1);
    EXPECT_EQ(HL_CopyRecordToImage(image, 0, 1, data), 1);
    EXPECT_TRUE(HL_GetAddressRanges().empty());
}

TEST(PrintMessageTest, PrintsTextAsItIs) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(HL_PrintMessage(nullptr, 5, "100% %s"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "100% %s");
}

}  // namespace
