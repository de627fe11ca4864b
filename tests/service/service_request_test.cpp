#include <gtest/gtest.h>

#include "case_name.h"
#include "crc16_arc.h"
#include "number_text.h"
#include "service_request.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using service::Command;
using service::ParseRequest;
using Operands = std::vector<std::string>;

struct NumberCase {
    std::string text;
    std::optional<std::uint32_t> value;
};

class NumberText : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberText, ParsesDecimalAndHexOnly) {
    EXPECT_EQ(service::ParseNumber(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberText,
    ::testing::Values(NumberCase{"0", 0u}, NumberCase{"4096", 4096u},
                      NumberCase{"0x40000", 0x40000u}, NumberCase{"0XfF", 0xFFu},
                      NumberCase{"4294967295", 0xFFFFFFFFu}, NumberCase{"0xFFFFFFFF", 0xFFFFFFFFu},
                      NumberCase{"4294967296", std::nullopt},
                      NumberCase{"0x100000000", std::nullopt}, NumberCase{"", std::nullopt},
                      NumberCase{"0x", std::nullopt}, NumberCase{"-1", std::nullopt},
                      NumberCase{"12k", std::nullopt}, NumberCase{"0x1G", std::nullopt}),
    [](const testing::TestParamInfo<NumberCase>& tested) { return NameOf(tested.param.text); });

TEST(HexBlock, TakesExactlyTheBlocksDigitsInEitherCase) {
    EXPECT_EQ(service::ParseHexBytes("0aFf", 2), (std::vector<std::uint8_t>{0x0A, 0xFF}));
    EXPECT_FALSE(service::ParseHexBytes("0aF", 2));
    EXPECT_FALSE(service::ParseHexBytes("0aFf00", 2));
    EXPECT_FALSE(service::ParseHexBytes("0x0F", 2));
    const std::uint8_t bytes[] = {0x00, 0xAB, 0x7F};
    EXPECT_EQ(service::HexBytes(bytes, 3), "00AB7F");
}

TEST(Crc16Arc, GivesTheCheckValueOfTheNineDigits) {
    const std::string digits = "123456789";
    EXPECT_EQ(service::Crc16Arc(reinterpret_cast<const std::uint8_t*>(digits.data()), 9), 0xBB3D);
    EXPECT_EQ(service::Crc16Arc(nullptr, 0), 0);
}

struct RefusedRequest {
    const char* name;
    std::string command;
    Operands operands;
    std::string error;
};

class RequestRefused : public ::testing::TestWithParam<RefusedRequest> {};

TEST_P(RequestRefused, BeforeAnyChannelIsOpened) {
    EXPECT_EQ(ParseRequest(GetParam().command, GetParam().operands).error, GetParam().error);
}

const std::string kConfig(68, 'A');

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestRefused,
    ::testing::Values(
        RefusedRequest{"NoCommand", "", {}, "Service command was not set."},
        RefusedRequest{"UnknownCommand", "erase", {}, "Unknown service command [erase]."},
        RefusedRequest{"OperandTooMany", "reset", {"now"}, "Usage: reset"},
        RefusedRequest{
            "OperandMissing", "read-mem", {"0", "256"}, "Usage: read-mem <address> <size> <file>"},
        RefusedRequest{"CrcWithoutSize", "crc", {"0"}, "Usage: crc <address> <size> [<file>]"},
        RefusedRequest{"ConfigurationTooLong",
                       "write-config",
                       {kConfig + "0"},
                       "The block must be exactly 68 hex digits."},
        RefusedRequest{"ClockNotHex",
                       "write-clock",
                       {std::string(31, '0') + "G"},
                       "The block must be exactly 32 hex digits."},
        RefusedRequest{"AddressNotANumber",
                       "read-mem",
                       {"base", "256", "f"},
                       "Address [base] is not a number."},
        RefusedRequest{
            "SizeNotANumber", "read-mem", {"0", "lots", "f"}, "Size [lots] is not a number."},
        RefusedRequest{
            "SizeZero", "read-mem", {"0", "0", "f"}, "Size must be 1 to 16777216 bytes."},
        RefusedRequest{
            "SizeTooLarge", "crc", {"0", "0x1000001"}, "Size must be 1 to 16777216 bytes."},
        RefusedRequest{"RangePastTheAddressSpace",
                       "read-mem",
                       {"0xFFFFFF00", "257", "f"},
                       "The range runs past the end of the address space."},
        RefusedRequest{
            "CodeTooLarge", "data", {"256"}, "Code [256] must be a number from 0 to 255."},
        RefusedRequest{"FileMissing",
                       "write-mem",
                       {"0", "/nonexistent/qel/image.bin"},
                       "Cannot read file [/nonexistent/qel/image.bin]."}),
    CaseName());

TEST(Request, TakesTheOperandsOfEachCommand) {
    const auto config = ParseRequest("write-config", {"00" + std::string(66, 'f')});
    ASSERT_EQ(config.error, "");
    EXPECT_EQ(config.request.command, Command::kWriteConfig);
    EXPECT_EQ(config.request.bytes.size(), 34u);
    EXPECT_EQ(config.request.bytes[1], 0xFF);

    const auto range = ParseRequest("read-mem", {"0xFFFFFF00", "256", "out.bin"});
    ASSERT_EQ(range.error, "");
    EXPECT_EQ(range.request.address, 0xFFFFFF00u);
    EXPECT_EQ(range.request.size, 256u);
    EXPECT_EQ(range.request.file, "out.bin");

    const auto data = ParseRequest("data", {"0x90"});
    ASSERT_EQ(data.error, "");
    EXPECT_EQ(data.request.code, 0x90);
}

TEST(Request, LoadsTheFileThatAWriteOrACrcNeeds) {
    TempDir dir;
    const std::string image = dir.Write("image.bin", std::vector<std::uint8_t>{1, 2, 3, 4, 5});
    const std::string empty = dir.Write("empty.bin", std::vector<std::uint8_t>{});

    const auto write = ParseRequest("write-mem", {"0x40000", image});
    ASSERT_EQ(write.error, "");
    EXPECT_EQ(write.request.size, 5u);
    EXPECT_EQ(write.request.bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(ParseRequest("write-mem", {"0", empty}).error,
              "File [" + empty + "] must hold 1 to 16777216 bytes.");

    // A CRC compares the range's length of the file; a shorter file cannot match.
    const auto crc = ParseRequest("crc", {"0x40000", "3", image});
    ASSERT_EQ(crc.error, "");
    EXPECT_EQ(crc.request.bytes, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(ParseRequest("crc", {"0", "6", image}).error,
              "File [" + image + "] holds fewer than 6 bytes.");
}

#ifndef _WIN32
// Only what the command can use is read, and nothing that could block or never end.
TEST(Request, RefusesInputsThatAreNoFileOrLargerThanTheCommandCanUse) {
    TempDir dir;
    const std::string fifo = dir.Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string notAFile = "; only regular files and character devices can be read.";
    EXPECT_EQ(ParseRequest("write-mem", {"0", fifo}).error,
              "File [" + fifo + "] is a named pipe (FIFO)" + notAFile);
    EXPECT_EQ(ParseRequest("crc", {"0", "16", fifo}).error,
              "File [" + fifo + "] is a named pipe (FIFO)" + notAFile);
    EXPECT_EQ(ParseRequest("write-mem", {"0x40000", "/"}).error,
              "File [/] is a directory" + notAFile);
    EXPECT_EQ(ParseRequest("write-mem", {"0", "/dev/zero"}).error,
              "File [/dev/zero] must hold 1 to 16777216 bytes.");
    // A CRC reads the range's length of an endless device and no more.
    const auto crc = ParseRequest("crc", {"0", "0x1000000", "/dev/zero"});
    EXPECT_EQ(crc.error, "");
    EXPECT_EQ(crc.request.bytes.size(), 0x1000000u);
}
#endif

}  // namespace
