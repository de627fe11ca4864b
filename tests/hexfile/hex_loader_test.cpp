#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "hex_reader.h"
#include "hex_test_support.h"

namespace {

using Messages = std::vector<std::string>;
using Record = ReaderLog::Record;

struct LoadCase {
    const char* name;
    int format;
    std::string content;
    int result;
    Messages messages;
    std::vector<Record> records;
};

class LoadHexFileTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadHexFileTest, DeliversRecordsAndMessagesInOrder) {
    const LoadCase& row = GetParam();
    TempDir dir;
    ReaderLog log;
    const std::string path = dir.Write("in.hex", row.content);
    EXPECT_EQ(
        HL_LoadHexFile(&log, path.c_str(), row.format, &ReaderLog::OnRecord, &ReaderLog::OnMessage),
        row.result);
    EXPECT_EQ(log.messages, row.messages);
    EXPECT_EQ(log.records, row.records);
}

const std::string kData10 = ":0400100001020304E2\n";
const std::string kEnd = ":00000001FF\n";
const Record kRecord10{0x10, {1, 2, 3, 4}};
const std::string kLongLine = ":00000001FF" + std::string(100000, ' ') + "\n";

INSTANTIATE_TEST_SUITE_P(
    Files, LoadHexFileTest,
    testing::Values(
        LoadCase{"DataThenEnd", 1, kData10 + kEnd, 0, {}, {kRecord10}},
        LoadCase{"LinesAfterEndNotRead", 1, kData10 + kEnd + "\n\ngarbage\n", 0, {}, {kRecord10}},
        LoadCase{"EndWithoutLineBreak", 1, kData10 + ":00000001FF", 0, {}, {kRecord10}},
        LoadCase{"CrLfLines", 1, ":0400100001020304E2\r\n:00000001FF\r\n", 0, {}, {kRecord10}},
        LoadCase{"NoEndRecord",
                 1,
                 kData10,
                 1,
                 {"Error reading from the hex file.", "Error loading the file."},
                 {kRecord10}},
        LoadCase{"EmptyFile",
                 1,
                 "",
                 1,
                 {"Error reading from the hex file.", "Error loading the file."},
                 {}},
        LoadCase{"EmptyLineBeforeEnd",
                 1,
                 kData10 + "\n" + kEnd,
                 1,
                 {"Line should start with ':' character", "Error parsing the line.", "\n",
                  "Error loading the file."},
                 {kRecord10}},
        LoadCase{"WrongChecksumLater",
                 1,
                 kData10 + ":0400100001020304E3\n" + kEnd,
                 1,
                 {"Calculated checksum does not match to the read one.", "Error parsing the line.",
                  ":0400100001020304E3\n", "Error loading the file."},
                 {kRecord10}},
        // fgets into 4096 bytes: the end record's line is cut after 4095 characters and the
        // rest is never read.
        LoadCase{"LongLineAfterEndRecordText", 1, kData10 + kLongLine, 0, {}, {kRecord10}},
        LoadCase{"LongLineSplitAt4095",
                 1,
                 ":0400100001020304E2" + std::string(4076, ' ') + "X\n" + kEnd,
                 1,
                 {"Line should start with ':' character", "Error parsing the line.", "X\n",
                  "Error loading the file."},
                 {kRecord10}},
        LoadCase{"Binary",
                 1,
                 std::string("\0\xff\x01:\n", 5),
                 1,
                 {"Line should start with ':' character", "Error parsing the line.", "",
                  "Error loading the file."},
                 {}},
        LoadCase{"SRecords", 2, "S1061234010203AD\nS9030000FC\n", 0, {}, {{0x1234, {1, 2, 3}}}},
        LoadCase{"SRecordHeaderLine",
                 2,
                 "S004000048B3\n",
                 1,
                 {"Invalid value for the record type", "Error parsing the line.", "S004000048B3\n",
                  "Error loading the file."},
                 {}},
        LoadCase{"Segmented",
                 3,
                 ":020000021000EC\n:0401000001020304F1\n" + kEnd,
                 0,
                 {},
                 {{0x10100, {1, 2, 3, 4}}}},
        LoadCase{"UnknownFormat", 4, kEnd, 1, {"Unkown value for paramater fileFormat"}, {}},
        LoadCase{"FormatZero", 0, kEnd, 1, {"Unkown value for paramater fileFormat"}, {}}),
    CaseName());

TEST(LoadHexFileTest, RecordCallbackResultStopsTheFile) {
    TempDir dir;
    const std::string path = dir.Write("in.hex", kData10 + kData10 + kEnd);
    for (const auto& [result, message] :
         {std::pair{2,
                    "Address in hex file is out of range for "
                    "the selected processor or toolkit"},
          std::pair{1, "Error loading the file."}, std::pair{9, "Error loading the file."}}) {
        ReaderLog log;
        log.recordResult = result;
        EXPECT_EQ(
            HL_LoadHexFile(&log, path.c_str(), 1, &ReaderLog::OnRecord, &ReaderLog::OnMessage),
            result);
        EXPECT_EQ(log.messages, Messages{message});
        EXPECT_EQ(log.records.size(), 1u);
    }
}

TEST(LoadHexFileTest, RefusesPathsThatGiveNoFile) {
    TempDir dir;
    ReaderLog log;
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        EXPECT_EQ(HL_LoadHexFile(&log, path, 1, &ReaderLog::OnRecord, &ReaderLog::OnMessage), 1);
    }
    const std::string missing = (dir.Path() / "missing.hex").string();
    EXPECT_EQ(HL_LoadHexFile(&log, missing.c_str(), 1, &ReaderLog::OnRecord, &ReaderLog::OnMessage),
              1);
    const std::string directory = dir.Path().string();
    EXPECT_EQ(
        HL_LoadHexFile(&log, directory.c_str(), 1, &ReaderLog::OnRecord, &ReaderLog::OnMessage), 1);
    EXPECT_EQ(log.messages,
              (Messages{"hexFile parameter should point to a valid file name.",
                        "hexFile parameter should point to a valid file name.",
                        "Cannot open hexFile for reading.", "Error loading the file."}));
    EXPECT_EQ(log.codes, (std::vector<int>{1, 1, ENOENT, 1}));
    EXPECT_TRUE(log.records.empty());
}

TEST(LoadHexFileTest, NoMessageCallbackIsAllowed) {
    TempDir dir;
    ReaderLog log;
    const std::string path = dir.Write("in.hex", "garbage\n");
    EXPECT_EQ(HL_LoadHexFile(&log, path.c_str(), 1, &ReaderLog::OnRecord, nullptr), 1);
    EXPECT_EQ(HL_LoadHexFile(&log, path.c_str(), 7, &ReaderLog::OnRecord, nullptr), 1);
}

TEST(LoadHexFileTest, EveryFileStartsWithoutExtendedAddressOrSegmentBase) {
    TempDir dir;
    const std::string linear = dir.Write("linear.hex", ":020000040001F9\n" + kEnd);
    const std::string segmented = dir.Write("segment.hex", ":020000021000EC\n" + kEnd);
    const std::string data = dir.Write("data.hex", ":0401000001020304F1\n" + kEnd);
    ReaderLog log;
    ASSERT_EQ(HL_LoadHexFile(&log, linear.c_str(), 1, &ReaderLog::OnRecord, nullptr), 0);
    EXPECT_EQ(HL_GetExtendedType(), 4);
    ASSERT_EQ(HL_LoadHexFile(&log, segmented.c_str(), 3, &ReaderLog::OnRecord, nullptr), 0);
    EXPECT_EQ(HL_GetExtendedType(), 0);
    EXPECT_EQ(HL_GetExtendedAddress(), 0);
    ASSERT_EQ(HL_LoadHexFile(&log, data.c_str(), 3, &ReaderLog::OnRecord, nullptr), 0);
    EXPECT_EQ(log.records, (std::vector<Record>{{0x100, {1, 2, 3, 4}}}));
}

}  // namespace
