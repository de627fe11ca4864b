#include <gtest/gtest.h>

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

// A protocol object with the three-byte worked image (256 bytes, CRC16 0x6B7A) on a fake channel.
struct Verifier : ProtocolOnFakeChannel {
    Verifier() {
        std::vector<char> firmware(0x80000, static_cast<char>(0xFF));
        firmware[0x3000] = 'a';
        firmware[0x3001] = 'b';
        firmware[0x3002] = 'c';
        CaptureStdout();
        protocol.PrepareDataBuffer(firmware.data(), 0x3000, 0x3003);
        GetCapturedStdout();
    }
    // Runs the verification; what it printed stays in `printed`.
    int Run(const std::function<int(QelProtocolTestAccess&)>& verify) {
        CaptureStdout();
        const int result = verify(access);
        printed = GetCapturedStdout();
        return result;
    }

    std::string printed;
};

int Crc16(QelProtocolTestAccess& access) {
    return access.VerifyCrc16();
}
int Full(QelProtocolTestAccess& access) {
    return access.VerifyFull();
}

TEST(VerifyWithCrc16, AsksForTheCrcOfTheWholeImageAndComparesIt) {
    Verifier verifier;
    verifier.channel.QueueReply(wire::CrcReply({}, 0x6B7A));
    EXPECT_EQ(verifier.Run(Crc16), 0);
    EXPECT_EQ(verifier.printed, "\nDBG: Verify with CRC16\nCRC DATA: 0x6b7a\nCRC RESP: 0x6b7a");
    // Record: start, address 0x40000, size 256 as 32 bits, checksum.
    const std::string request =
        wire::Request(0x1C, 2, {0x5A, 0x00, 0x00, 0x04, 0x00, 0x00, 0x01, 0x00, 0x00, 0x46});
    EXPECT_EQ(verifier.channel.Writes(), (std::vector<std::string>{request, "\r"}));
    EXPECT_EQ(verifier.channel.Calls()[2].length, 39);
}

TEST(VerifyWithCrc16, ADifferentDeviceCrcPrintsBothAndIs5008) {
    Verifier verifier;
    verifier.channel.QueueReply(wire::CrcReply({}, 0x6B7B));
    EXPECT_EQ(verifier.Run(Crc16), qel::kErrImageCrcMismatch);
    EXPECT_EQ(verifier.printed, "\nDBG: Verify with CRC16\nCRC DATA: 0x6b7a\nCRC RESP: 0x6b7b");
}

struct CrcRecordFault {
    const char* name;
    std::function<void(wire::Fields&)> spoil;
};

class VerifyWithCrc16Record : public testing::TestWithParam<CrcRecordFault> {};

TEST_P(VerifyWithCrc16Record, AMismatchIs5009WithoutTheCrcLines) {
    Verifier verifier;
    wire::Fields echo;
    GetParam().spoil(echo);
    verifier.channel.QueueReply(wire::CrcReply(echo, 0x6B7A));
    EXPECT_EQ(verifier.Run(Crc16), qel::kErrCrcRecord);
    EXPECT_EQ(verifier.printed, "\nDBG: Verify with CRC16");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VerifyWithCrc16Record,
    testing::Values(CrcRecordFault{"Start", [](wire::Fields& r) { r.start = 0xA5; }},
                    CrcRecordFault{"Address", [](wire::Fields& r) { r.address = 0x40100; }},
                    CrcRecordFault{"Size", [](wire::Fields& r) { r.length = 512; }},
                    CrcRecordFault{"Checksum", [](wire::Fields& r) { r.checksumError = 3; }}),
    CaseName());

struct StepFailure {
    const char* name;
    std::function<void(FakeChannel&)> script;
    int result;
    const char* lines;
};

const StepFailure kCrcFailures[] = {
    {"TextWrite", [](FakeChannel& c) { c.FailWrite(0, 5024); }, 5024, ""},
    {"Read", [](FakeChannel& c) { c.QueueReadFailure(5023); }, 5023,
     "\nDBG: Verify with CRC16 Failed. Cannot read reply."},
    {"Status", [](FakeChannel& c) { c.QueueReply(wire::CrcReply({.status = 4}, 0)); },
     qel::kErrReplyStatus, "\nDBG: Verify with CRC16 Failed. Reply STATUS byte is bad."},
};

class VerifyWithCrc16Failure : public testing::TestWithParam<StepFailure> {};

TEST_P(VerifyWithCrc16Failure, NamesTheStepThatFailed) {
    Verifier verifier;
    GetParam().script(verifier.channel);
    EXPECT_EQ(verifier.Run(Crc16), GetParam().result);
    EXPECT_EQ(verifier.printed, std::string("\nDBG: Verify with CRC16") + GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Steps, VerifyWithCrc16Failure, testing::ValuesIn(kCrcFailures),
                         CaseName());

// The image's first page, as the device holds it after a download.
Bytes ImagePage(QelProtocolTestAccess& access) {
    return Bytes(access.DataBuffer(), access.DataBuffer() + 256);
}

TEST(VerifyWithReadBack, ComparesEveryPageFromThePageAddress) {
    Verifier verifier;
    verifier.channel.QueueReply(wire::ReadReply({}, ImagePage(verifier.access)));
    EXPECT_EQ(verifier.Run(Full), 0);
    EXPECT_EQ(verifier.printed,
              "\nDBG: Verify with reading all data back\nDBG: Read Page at 0x40000");
    EXPECT_EQ(verifier.access.PageAddress(), 0x40100u);
}

TEST(VerifyWithReadBack, ReportsTheFirstDifferentByte) {
    Verifier verifier;
    Bytes page = ImagePage(verifier.access);
    page[200] = 0xC3;  // zero fill in the image
    page[201] = 0x01;
    verifier.channel.QueueReply(wire::ReadReply({}, page));
    EXPECT_EQ(verifier.Run(Full), qel::kErrImageCorrupted);
    EXPECT_EQ(verifier.printed,
              "\nDBG: Verify with reading all data back\nDBG: Read Page at 0x40000"
              "\nERROR: Block at address 0x40000 contains corrupted data."
              "\nByte at position 200 is not the same as original one.\nOriginal: 0x0"
              "\nUploaded: 0xc3");
    EXPECT_EQ(verifier.access.PageAddress(), 0x40000u);
}

TEST(VerifyWithReadBack, PassesOnAReadFailureAndABadRecord) {
    Verifier verifier;
    verifier.channel.QueueReply(wire::ReadReply({.address = 0x40100}, ImagePage(verifier.access)));
    EXPECT_EQ(verifier.Run(Full), qel::kErrReadRecord);
    EXPECT_EQ(verifier.printed,
              "\nDBG: Verify with reading all data back\nDBG: Read Page at 0x40000");
    EXPECT_EQ(verifier.Run(Full), FakeChannel::kSilentCode);
    EXPECT_EQ(verifier.printed,
              "\nDBG: Verify with reading all data back\nDBG: Read Page at 0x40000"
              "\nDBG: Read Page Failed. Cannot read reply.");
}

TEST(VerifyWithReadBack, StartingPastTheImageSendsNothing) {
    Verifier verifier;
    verifier.access.SetPageAddress(0x40100);
    EXPECT_EQ(verifier.Run(Full), 0);
    EXPECT_EQ(verifier.printed, "\nDBG: Verify with reading all data back");
    EXPECT_TRUE(verifier.channel.Calls().empty());
}

TEST(VerifyMethods, WithoutAnApplicationImageNothingIsSent) {
    FakeChannel channel;
    QelProtocol protocol(&channel, 2, 1, nullptr);
    QelProtocolTestAccess access(protocol);
    CaptureStdout();
    EXPECT_EQ(access.VerifyCrc16(), qel::kErrNoImage);
    EXPECT_EQ(access.VerifyFull(), qel::kErrNoImage);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_TRUE(channel.Calls().empty());
    EXPECT_EQ(access.MsgId(), 1);
}

}  // namespace
