#include <gtest/gtest.h>

#include <cerrno>

#include "case_name.h"
#include "hex_reader.h"
#include "reader_log.h"
#include "temp_dir.h"

namespace {

struct LoadCase {
    const char* name;
    int format;
    std::string content;
    int result;
    std::string messages;  // joined by "|"
    std::string records;
};

const std::string kData = ":0400100001020304E2\n";
const std::string kEnd = ":00000001FF\n";
const char* kRecord = "10:01020304";
const std::string kUnterminated = "Error reading from the hex file.|Error loading the file.";
const std::string kNoColon = "Line should start with ':' character|Error parsing the line.|";

class LoadHexFileTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadHexFileTest, DeliversRecordsAndMessagesInOrder) {
    const LoadCase& row = GetParam();
    TempDir dir;
    ReaderLog log;
    EXPECT_EQ(HL_LoadHexFile(&log, dir.Write("in.hex", row.content).c_str(), row.format,
                             &ReaderLog::OnRecord, &ReaderLog::OnMessage),
              row.result);
    EXPECT_EQ(log.messages, row.messages);
    EXPECT_EQ(log.records, row.records);
}

// Lines are cut as fgets into 4096 bytes cuts them: 4095 characters, the rest is the next line.
INSTANTIATE_TEST_SUITE_P(
    Files, LoadHexFileTest,
    testing::Values(
        LoadCase{"LinesAfterEndNotRead", 1, kData + kEnd + "\n\nrubbish\n", 0, "", kRecord},
        LoadCase{"CrLfAndNoLastBreak", 1, ":0400100001020304E2\r\n:00000001FF", 0, "", kRecord},
        LoadCase{"NoEndRecord", 1, kData, 1, kUnterminated, kRecord},
        LoadCase{"EmptyFile", 1, "", 1, kUnterminated, ""},
        LoadCase{"EmptyLine", 1, kData + "\n" + kEnd, 1, kNoColon + "\n|Error loading the file.",
                 kRecord},
        LoadCase{"BadChecksumLater", 1, kData + ":00000001FE\n", 1,
                 "Calculated checksum does not match to the read one.|Error parsing the line.|"
                 ":00000001FE\n|Error loading the file.",
                 kRecord},
        LoadCase{"EndRecordOnLongLine", 1, ":00000001FF" + std::string(100000, ' '), 0, "", ""},
        LoadCase{"LongLineSplit", 1, kData.substr(0, 19) + std::string(4076, ' ') + "X\n" + kEnd, 1,
                 kNoColon + "X\n|Error loading the file.", kRecord},
        LoadCase{"Binary", 1, std::string("\0\xff:\n", 4), 1, kNoColon + "|Error loading the file.",
                 ""},
        LoadCase{"SRecords", 2, "S1061234010203AD\nS9030000FC\n", 0, "", "1234:010203"},
        LoadCase{"Segmented", 3, ":020000021000EC\n:0401000001020304F1\n" + kEnd, 0, "",
                 "10100:01020304"},
        LoadCase{"UnknownFormat", 4, kEnd, 1, "Unkown value for paramater fileFormat", ""},
        LoadCase{"FormatZero", 0, kEnd, 1, "Unkown value for paramater fileFormat", ""}),
    CaseName());

TEST(LoadHexFileTest, RecordCallbackResultStopsTheFile) {
    TempDir dir;
    const std::string path = dir.Write("in.hex", kData + kData + kEnd);
    for (int result : {1, 2, 9}) {
        ReaderLog log;
        log.recordResult = result;
        EXPECT_EQ(
            HL_LoadHexFile(&log, path.c_str(), 1, &ReaderLog::OnRecord, &ReaderLog::OnMessage),
            result);
        EXPECT_EQ(log.messages, result == 2 ? "Address in hex file is out of range for the "
                                              "selected processor or toolkit"
                                            : "Error loading the file.");
        EXPECT_EQ(log.records, kRecord);
    }
}

TEST(LoadHexFileTest, PathsThatGiveNoFile) {
    TempDir dir;
    ReaderLog log;
    for (const std::string& path : {std::string(), dir.Path("missing.hex"), dir.Path()}) {
        EXPECT_EQ(
            HL_LoadHexFile(&log, path.c_str(), 1, &ReaderLog::OnRecord, &ReaderLog::OnMessage), 1);
    }
    EXPECT_EQ(HL_LoadHexFile(&log, nullptr, 1, &ReaderLog::OnRecord, nullptr), 1);
#ifdef _WIN32
    // Windows does not open a directory as a file at all.
    EXPECT_EQ(log.messages,
              "hexFile parameter should point to a valid file name.|Cannot open hexFile for "
              "reading.|Cannot open hexFile for reading.");
    EXPECT_EQ(log.codes, "1 " + std::to_string(ENOENT) + " " + std::to_string(EACCES) + " ");
#else
    // A directory opens but gives no line, and its read error is no missing end record.
    EXPECT_EQ(log.messages,
              "hexFile parameter should point to a valid file name.|Cannot open hexFile for "
              "reading.|Error loading the file.");
    EXPECT_EQ(log.codes, "1 " + std::to_string(ENOENT) + " 1 ");
#endif
}

TEST(LoadHexFileTest, EveryFileStartsWithoutExtendedAddressOrSegmentBase) {
    TempDir dir;
    ReaderLog log;
    const std::string linear = dir.Write("linear.hex", ":020000040001F9\n" + kEnd);
    const std::string segment = dir.Write("segment.hex", ":020000021000EC\n" + kEnd);
    const std::string data = dir.Write("data.hex", ":0401000001020304F1\n" + kEnd);
    ASSERT_EQ(HL_LoadHexFile(&log, linear.c_str(), 1, &ReaderLog::OnRecord, nullptr), 0);
    EXPECT_EQ(HL_GetExtendedType(), 4);
    ASSERT_EQ(HL_LoadHexFile(&log, segment.c_str(), 3, &ReaderLog::OnRecord, nullptr), 0);
    EXPECT_EQ(HL_GetExtendedType() + HL_GetExtendedAddress(), 0);
    ASSERT_EQ(HL_LoadHexFile(&log, data.c_str(), 3, &ReaderLog::OnRecord, nullptr), 0);
    EXPECT_EQ(log.records, "100:01020304");
}

}  // namespace
