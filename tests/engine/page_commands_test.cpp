#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "protocol_access.h"
#include "protocol_on_fake_channel.h"
#include "wire_text.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;
using wire::Bytes;

const std::string kFirstClearPageText = "5A187D025A00000400000146" + std::string(512, 'F') + "A6D2";

// An image of 1000 bytes counting up, so that every page of the application image differs.
std::vector<char> CountingFirmware() {
    std::vector<char> firmware(0x80000, static_cast<char>(0xFF));
    for (int i = 0; i < 1000; ++i) {
        firmware[0x3000 + i] = static_cast<char>(i * 7);
    }
    return firmware;
}

TEST(PageCommands, ClearsTheHeaderPageWithTheFirstFrameAfterConstruction) {
    ProtocolOnFakeChannel rig({"5A987D020015E6\r"});
    CaptureStdout();
    EXPECT_EQ(rig.access.ClearPage(0x40000), 0);
    EXPECT_EQ(GetCapturedStdout(), "\nDBG: Clear Page at 0x40000");
    EXPECT_EQ(rig.channel.Writes(), (std::vector<std::string>{kFirstClearPageText, "\r"}));
    ASSERT_EQ(rig.channel.Calls().size(), 3u);
    EXPECT_EQ(rig.channel.Calls()[2].length, 15);
}

TEST(PageCommands, WritePageSendsThePageOfTheApplicationImageAtItsAddress) {
    std::vector<char> firmware = CountingFirmware();
    ProtocolOnFakeChannel rig;
    CaptureStdout();
    ASSERT_EQ(rig.protocol.PrepareDataBuffer(firmware.data(), 0x3000, 0x3000 + 1000), 0);
    rig.channel.QueueReply(wire::StatusReply(0x18, 2));
    rig.channel.QueueReply(wire::StatusReply(0x18, 3));
    EXPECT_EQ(rig.access.WritePage(0x40100), 0);
    EXPECT_EQ(rig.access.WritePage(0x40000), 0);
    const std::string printed = GetCapturedStdout();
    EXPECT_NE(printed.find("\nDBG: Write Page at 0x40100\nDBG: Write Page at 0x40000"),
              std::string::npos);

    const std::vector<std::string> writes = rig.channel.Writes();
    ASSERT_EQ(writes.size(), 4u);
    for (int n = 0; n < 2; ++n) {
        const int offset = n == 0 ? 256 : 0;
        Bytes page(rig.access.DataBuffer() + offset, rig.access.DataBuffer() + offset + 256);
        EXPECT_EQ(writes[2 * n].substr(24, 512), wire::Hex(page)) << "page " << n;
        EXPECT_EQ(writes[2 * n].size(), 540u);
    }
    EXPECT_EQ(writes[0].substr(8, 14), "5A000104000001");
}

TEST(PageCommands, WritePageOutsideTheApplicationImageSendsNothing) {
    std::vector<char> firmware = CountingFirmware();
    ProtocolOnFakeChannel rig;
    EXPECT_EQ(rig.access.WritePage(0x40000), qel::kErrNoImage);  // nothing prepared yet
    CaptureStdout();
    rig.protocol.PrepareDataBuffer(firmware.data(), 0x3000, 0x3000 + 1000);  // 1280 bytes
    EXPECT_EQ(rig.access.WritePage(0x40500), qel::kErrNoImage);
    EXPECT_EQ(rig.access.WritePage(0x3FF00), qel::kErrNoImage);
    GetCapturedStdout();
    EXPECT_TRUE(rig.channel.Calls().empty());
    EXPECT_EQ(rig.access.MsgId(), 1);
}

// How one exchange of a page command goes wrong, and the line that names it.
struct FailureCase {
    const char* name;
    std::function<void(FakeChannel&, const std::string& goodReply)> script;
    int result;
    const char* line;  // after "<command> Failed. ", or empty for no line
};

// The good reply with one wire character replaced.
std::string Replace(std::string text, std::size_t position, char character) {
    text[position] = character;
    return text;
}

const FailureCase kFailures[] = {
    {"TextWrite", [](FakeChannel& c, const std::string&) { c.FailWrite(0, 5024); }, 5024, ""},
    {"CrWrite", [](FakeChannel& c, const std::string&) { c.FailWrite(1, 5025); }, 5025, ""},
    {"Read", [](FakeChannel& c, const std::string&) { c.QueueReadFailure(5022); }, 5022,
     "Cannot read reply."},
    {"NotHex", [](FakeChannel& c, const std::string& r) { c.QueueReply(Replace(r, 9, 'G')); },
     qel::kErrReplyNotHex, "Cannot convert to binary data format."},
    {"WrongId", [](FakeChannel& c, const std::string& r) { c.QueueReply(Replace(r, 7, '4')); },
     qel::kErrReplyMessageId, "Reply format is bad."},
    {"Status", nullptr, qel::kErrReplyStatus, "Reply STATUS byte is bad."},
};

struct CommandCase {
    const char* title;  // as the lines name the command
    std::function<int(QelProtocolTestAccess&)> run;
    std::string startLine;
    std::uint8_t command;
    std::function<std::string(std::uint8_t status)> reply;  // for message id 3
};

std::vector<char>& SharedFirmware() {
    static std::vector<char> firmware = CountingFirmware();
    return firmware;
}

const CommandCase kCommands[] = {
    {"Clear Page", [](QelProtocolTestAccess& a) { return a.ClearPage(0x40000); },
     "\nDBG: Clear Page at 0x40000", 0x18,
     [](std::uint8_t s) { return wire::StatusReply(0x18, 3, s); }},
    {"Write Page", [](QelProtocolTestAccess& a) { return a.WritePage(0x40200); },
     "\nDBG: Write Page at 0x40200", 0x18,
     [](std::uint8_t s) { return wire::StatusReply(0x18, 3, s); }},
    {"Read Page",
     [](QelProtocolTestAccess& a) {
         unsigned char page[256];
         return a.ReadPage(0x40300, page);
     },
     "\nDBG: Read Page at 0x40300", 0x1A,
     [](std::uint8_t s) {
         return wire::ReadReply({.id = 3, .status = s, .address = 0x40300}, Bytes(256, 0));
     }},
    {"Reset Device", [](QelProtocolTestAccess& a) { return a.ResetDevice(); },
     "\nDBG: Reset Device", 0x0A, [](std::uint8_t s) { return wire::StatusReply(0x0A, 3, s); }},
};

class PageCommandFailure : public testing::TestWithParam<std::tuple<CommandCase, FailureCase>> {};

TEST_P(PageCommandFailure, ReturnsTheStepsCodeAndNamesTheStepThatFailed) {
    const auto& [command, failure] = GetParam();
    ProtocolOnFakeChannel rig;
    CaptureStdout();
    ASSERT_EQ(rig.protocol.PrepareDataBuffer(SharedFirmware().data(), 0x3000, 0x3000 + 1000), 0);
    rig.access.GenMsgId();  // the command under test uses id 3
    GetCapturedStdout();

    if (failure.script) {
        failure.script(rig.channel, command.reply(0));
    } else {
        rig.channel.QueueReply(command.reply(1));
    }
    CaptureStdout();
    EXPECT_EQ(command.run(rig.access), failure.result);
    std::string expected = command.startLine;
    if (*failure.line != '\0') {
        expected += std::string("\nDBG: ") + command.title + " Failed. " + failure.line;
    }
    EXPECT_EQ(GetCapturedStdout(), expected);
    EXPECT_EQ(rig.access.MsgId(), 3);
}

INSTANTIATE_TEST_SUITE_P(AllSteps, PageCommandFailure,
                         testing::Combine(testing::ValuesIn(kCommands),
                                          testing::ValuesIn(kFailures)),
                         [](const testing::TestParamInfo<PageCommandFailure::ParamType>& param) {
                             std::string name = std::get<0>(param.param).title;
                             name.erase(std::remove(name.begin(), name.end(), ' '), name.end());
                             return name + "_" + std::get<1>(param.param).name;
                         });

TEST(PageCommands, AResetAnsweredAsAPageWriteIsABadReplyFormat) {
    ProtocolOnFakeChannel rig({wire::StatusReply(0x18, 2)});
    CaptureStdout();
    EXPECT_EQ(rig.access.ResetDevice(), qel::kErrReplyCode);
    EXPECT_EQ(GetCapturedStdout(),
              "\nDBG: Reset Device\nDBG: Reset Device Failed. Reply format is bad.");
    EXPECT_EQ(rig.channel.Writes()[0], "5A0A7D024B92");
}

TEST(ReadPage, SendsTheRecordOfTheAddressAndCopiesThePageOut) {
    Bytes data(256);
    for (int i = 0; i < 256; ++i) {
        data[i] = static_cast<std::uint8_t>(255 - i);
    }
    ProtocolOnFakeChannel rig({wire::ReadReply({}, data)});
    unsigned char page[256] = {};
    CaptureStdout();
    EXPECT_EQ(rig.access.ReadPage(0x40000, page), 0);
    EXPECT_EQ(GetCapturedStdout(), "\nDBG: Read Page at 0x40000");
    EXPECT_EQ(Bytes(page, page + 256), data);
    // Record: start, address 0x40000, length 0x0100, checksum 0x46.
    EXPECT_EQ(rig.channel.Writes()[0].substr(0, 24), "5A1A7D025A00000400000146");
    EXPECT_EQ(rig.channel.Writes()[0].size(), 28u);
    EXPECT_EQ(rig.channel.Calls()[2].length, 543);
}

struct RecordFault {
    const char* name;
    std::function<void(wire::Fields&)> spoil;
    int result;
};

class ReadPageRecord : public testing::TestWithParam<RecordFault> {};

TEST_P(ReadPageRecord, RefusesAMismatchWithoutALineAndLeavesTheDestination) {
    wire::Fields echo;
    GetParam().spoil(echo);
    ProtocolOnFakeChannel rig({wire::ReadReply(echo, Bytes(256, 0x11))});
    unsigned char page[256];
    std::fill(page, page + 256, 0xEE);
    CaptureStdout();
    EXPECT_EQ(rig.access.ReadPage(0x40000, page), GetParam().result);
    EXPECT_EQ(GetCapturedStdout(), GetParam().result == qel::kErrReadRecord
                                       ? "\nDBG: Read Page at 0x40000"
                                       : "\nDBG: Read Page at 0x40000\nDBG: Read Page Failed. "
                                         "Reply STATUS byte is bad.");
    EXPECT_EQ(Bytes(page, page + 256), Bytes(256, 0xEE));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ReadPageRecord,
    testing::Values(RecordFault{"OtherAddress", [](wire::Fields& r) { r.address = 0x40100; }, 5012},
                    RecordFault{"OtherLength", [](wire::Fields& r) { r.length = 0x0080; }, 5012},
                    RecordFault{"OtherStart", [](wire::Fields& r) { r.start = 0x5B; }, 5012},
                    RecordFault{"BadChecksum", [](wire::Fields& r) { r.checksumError = 1; }, 5012},
                    // The status byte is looked at before the record.
                    RecordFault{"StatusAndAddress",
                                [](wire::Fields& r) {
                                    r.status = 2;
                                    r.address = 0x50000;
                                },
                                qel::kErrReplyStatus}),
    CaseName());

TEST(ReadPage, ADigitOfThePageChangedIsACrcErrorAndANonDigitAConversionError) {
    const std::string good = wire::ReadReply({}, Bytes(256, 0));
    const std::size_t dataDigit = 2 * 100;
    ProtocolOnFakeChannel rig({Replace(good, dataDigit, '7'), Replace(good, dataDigit, 'x')});
    rig.access.SetMsgId(1);
    unsigned char page[256];
    CaptureStdout();
    EXPECT_EQ(rig.access.ReadPage(0x40000, page), qel::kErrReplyCrc);
    rig.access.SetMsgId(1);  // the second reply carries id 2 as well
    EXPECT_EQ(rig.access.ReadPage(0x40000, page), qel::kErrReplyNotHex);
    GetCapturedStdout();
}

}  // namespace
