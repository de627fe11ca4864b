#include "frame_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "case_name.h"
#include "qel_codes.h"

using namespace qel::codec;

namespace {

std::vector<unsigned char> Bytes(std::initializer_list<int> values) {
    std::vector<unsigned char> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<unsigned char>(v));
    }
    return bytes;
}

// The converted form of a reply text (with its CR), as the engine holds it.
std::vector<unsigned char> Converted(const std::string& text, int* result = nullptr) {
    std::vector<unsigned char> out(text.size() / 2 + 2, 0);
    const int code = ConvertToBinary(out.data(), text.c_str());
    if (result != nullptr) {
        *result = code;
    }
    out.resize(text.size() / 2 + 1);
    return out;
}

}  // namespace

TEST(Crc16, MatchesTheArcCheckValueAndTheWorkedExamples) {
    const char* digits = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const unsigned char*>(digits), 9), 0xBB3D);
    EXPECT_EQ(Crc16(nullptr, 0), 0);
    EXPECT_EQ(Crc16(reinterpret_cast<const unsigned char*>(digits), -3), 0);
    const auto reset = Bytes({0x5A, 0x0A, 0x7D, 0x02});
    EXPECT_EQ(Crc16(reset.data(), 4), 0x4B92);
}

TEST(Crc16, AgreesWithABitwiseReference) {
    std::vector<unsigned char> data(300);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<unsigned char>(i * 37 + 11);
    }
    unsigned reference = 0;
    for (unsigned char b : data) {
        reference ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            reference = (reference & 1) ? (reference >> 1) ^ 0xA001 : reference >> 1;
        }
    }
    EXPECT_EQ(Crc16(data.data(), static_cast<int>(data.size())), reference);
}

TEST(Crc8, IsTheSeedMinusTheByteSum) {
    const char* abc = "abc";
    EXPECT_EQ(Crc8(reinterpret_cast<const unsigned char*>(abc), 3, 0xA5), 0x7F);
    EXPECT_EQ(Crc8(reinterpret_cast<const unsigned char*>(abc), 0, 0xA5), 0);
    const auto readRecord = Bytes({0x5A, 0x00, 0x00, 0x04, 0x00, 0x00, 0x01});
    EXPECT_EQ(Crc8(readRecord.data(), 7, 0xA5), 0x46);
    std::vector<unsigned char> writeRecord = readRecord;
    writeRecord.insert(writeRecord.end(), 256, 0xFF);
    EXPECT_EQ(Crc8(writeRecord.data(), static_cast<int>(writeRecord.size()), 0xA5), 0x46);
}

TEST(HexText, RendersUppercaseHighNibbleFirstWithoutTerminator) {
    const auto frame = Bytes({0x5A, 0x0A, 0x7D, 0x02, 0x4B, 0x92});
    char text[14];
    std::memset(text, '#', sizeof text);
    ConvertToHexString(text, frame.data(), 6);
    EXPECT_EQ(std::string(text, 12), "5A0A7D024B92");
    EXPECT_EQ(text[12], '#');
    ConvertToHexString(text, frame.data(), 0);
    ConvertToHexString(nullptr, frame.data(), 6);
    EXPECT_EQ(text[0], '5');
}

TEST(HexText, ConvertsRepliesInEitherCaseAndKeepsTheLastCharacter) {
    int result = -1;
    const auto upper = Converted("5A8A7D02006DE3\r", &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(upper, Bytes({0x5A, 0x8A, 0x7D, 0x02, 0x00, 0x6D, 0xE3, 0x0D}));
    EXPECT_EQ(Converted("5a8a7d02006de3\r", &result), upper);
    EXPECT_EQ(result, 0);
}

TEST(HexText, StopsAtTheFirstCharacterThatIsNoHexDigit) {
    unsigned char out[8] = {0};
    EXPECT_EQ(ConvertToBinary(out, "5A8G7D02006DE3\r"), qel::kErrReplyNotHex);
    EXPECT_EQ(out[0], 0x5A);  // what came before stays converted
    unsigned char untouched[2] = {0x11, 0x22};
    EXPECT_EQ(ConvertToBinary(untouched + 1, ""), 0);
    EXPECT_EQ(untouched[0], 0x11);
    EXPECT_EQ(untouched[1], 0x22);
}

TEST(HexText, SingleDigitHelpersLeaveTheOutputOnFailure) {
    unsigned char value = 0x77;
    EXPECT_EQ(HexCharToByte('g', value), 1);
    EXPECT_EQ(value, 0x77);
    EXPECT_EQ(HexCharToByte('f', value), 0);
    EXPECT_EQ(value, 15);
    EXPECT_EQ(Hex2CharToByte("Z1", value), 1);
    EXPECT_EQ(Hex2CharToByte("1Z", value), 1);
    EXPECT_EQ(value, 15);
    EXPECT_EQ(Hex2CharToByte("a5", value), 0);
    EXPECT_EQ(value, 0xA5);
}

TEST(MessageId, RunsFromOneTo254AndWraps) {
    EXPECT_EQ(NextMessageId(1), 2);
    EXPECT_EQ(NextMessageId(253), 254);
    EXPECT_EQ(NextMessageId(254), 1);
    EXPECT_EQ(NextMessageId(255), 1);
}

struct CheckCase {
    const char* name;
    std::string text;
    char code;
    std::uint8_t id;
    int expected;
};

class CheckReplyTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckReplyTest, ReportsTheFirstFailingCheck) {
    const CheckCase& c = GetParam();
    auto data = Converted(c.text);
    EXPECT_EQ(CheckReply(data.data(), c.code, static_cast<int>(data.size()), c.id), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CheckReplyTest,
    ::testing::Values(
        CheckCase{"Good", "5A8A7D02006DE3\r", 0x0A, 2, 0},
        CheckCase{"BadStart", "5B8A7D02006DE3\r", 0x0A, 2, qel::kErrReplyStart},
        CheckCase{"BadCode", "5A987D02006DE3\r", 0x0A, 2, qel::kErrReplyCode},
        CheckCase{"BadSeparator", "5A8A7E02006DE3\r", 0x0A, 2, qel::kErrReplySeparator},
        CheckCase{"OtherId", "5A8A7D02006DE3\r", 0x0A, 3, qel::kErrReplyMessageId},
        CheckCase{"NoCarriageReturn", "5A8A7D02006DE3\n", 0x0A, 2, qel::kErrReplyTerminator},
        CheckCase{"BadCrc", "5A8A7D02006DE4\r", 0x0A, 2, qel::kErrReplyCrc},
        CheckCase{"SeveralFaultsStartWins", "5B987E03006DE4\n", 0x0A, 2, qel::kErrReplyStart},
        CheckCase{"CodeWrapsModulo256", "5A107D02000000\r", static_cast<char>(0x90), 2,
                  qel::kErrReplyCrc}),
    CaseName());
