#include "serial_channel.h"

#include <gtest/gtest.h>

#include <string>

#include "comms_test_access.h"
#include "pty_pair.h"
#include "qel_codes.h"

class SerialChannelTestAccess {
  public:
    static CComms& Comms(SerialChannel& channel) { return channel.m_comms; }
    static int ClearBuffers(SerialChannel& channel, CComms& comms) {
        return channel.ClearBuffers(comms);
    }
};

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class SerialChannelOverPty : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_pty.IsOpen()); }

    int OpenQuietly(SerialChannel& channel, _serial_open_params params) {
        CaptureStdout();
        int result = channel.Open(&params);
        GetCapturedStdout();
        return result;
    }

    PtyPair m_pty;
};

TEST_F(SerialChannelOverPty, OpenPrintsItsLineAndPassesTheZeroBasedIndex) {
    SerialChannel channel(m_pty.SlavePath());
    _serial_open_params params{1, 1000};
    CaptureStdout();
    int result = channel.Open(&params);
    EXPECT_EQ(GetCapturedStdout(), "\nInitialize communication port (COM1, 115200)...");
    EXPECT_EQ(result, qel::kOk);
    const comm_settings& settings =
        CCommsTestAccess::Settings(SerialChannelTestAccess::Comms(channel));
    EXPECT_EQ(settings.port, 0);
    EXPECT_EQ(settings.baud, 115200);
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.parity, 0);
    EXPECT_EQ(settings.stopBits, 0);
    EXPECT_EQ(CCommsTestAccess::TimeOut(SerialChannelTestAccess::Comms(channel)), 1000u);
}

TEST_F(SerialChannelOverPty, OpenNamesTheOperatorsPortNumber) {
    SerialChannel channel(m_pty.SlavePath());
    _serial_open_params params{12, 250};
    CaptureStdout();
    EXPECT_EQ(channel.Open(&params), qel::kOk);
    EXPECT_EQ(GetCapturedStdout(), "\nInitialize communication port (COM12, 115200)...");
    EXPECT_EQ(CCommsTestAccess::Settings(SerialChannelTestAccess::Comms(channel)).port, 11);
    EXPECT_EQ(CCommsTestAccess::TimeOut(SerialChannelTestAccess::Comms(channel)), 250u);
}

TEST(SerialChannel, FailedSetupReturnsTheLibrarysCodeAndGoesNoFurther) {
    SerialChannel channel("/nonexistent/ttyQ9");
    _serial_open_params params{3, 777};
    CaptureStdout();
    int result = channel.Open(&params);
    EXPECT_EQ(GetCapturedStdout(), "\nInitialize communication port (COM3, 115200)...");
    EXPECT_EQ(result, kCommsErrOpen);
    // The time-out was never handed on.
    EXPECT_NE(CCommsTestAccess::TimeOut(SerialChannelTestAccess::Comms(channel)), 777u);
}

TEST(SerialChannel, MissingRecordIsRefusedByTheLibraryWithoutALine) {
    SerialChannel channel;
    CaptureStdout();
    EXPECT_EQ(channel.Open(nullptr), kCommsErrBadSettings);
    EXPECT_EQ(GetCapturedStdout(), "");
}

TEST_F(SerialChannelOverPty, PortThatDoesNotComeUpGives2143AndTheNextOpenRecovers) {
    SerialChannel channel(m_pty.SlavePath());
    CCommsTestAccess::SimulateNotReady(SerialChannelTestAccess::Comms(channel), true);
    EXPECT_EQ(OpenQuietly(channel, {1, 1000}), qel::kErrSerialNotReady);

    // The program opens again after its pause without a Close in between.
    CCommsTestAccess::SimulateNotReady(SerialChannelTestAccess::Comms(channel), false);
    EXPECT_EQ(OpenQuietly(channel, {1, 1000}), qel::kOk);
}

TEST_F(SerialChannelOverPty, ReadAndWritePassThroughUnchanged) {
    SerialChannel channel(m_pty.SlavePath());
    ASSERT_EQ(OpenQuietly(channel, {1, 1000}), qel::kOk);

    char request[] = "Z0A}0102";
    EXPECT_EQ(channel.Write(request, 8), qel::kOk);
    EXPECT_EQ(m_pty.Receive(8), "Z0A}0102");

    ASSERT_TRUE(m_pty.Send("Z8A}02000000B1\rnext"));
    char reply[16] = {};
    EXPECT_EQ(channel.Read(reply, 15), qel::kOk);
    EXPECT_EQ(std::string(reply), "Z8A}02000000B1\r");
    EXPECT_EQ(channel.Read(reply, 4), qel::kOk);
    EXPECT_EQ(std::string(reply, 4), "next");
}

TEST_F(SerialChannelOverPty, LibraryFailuresComeBackUnchanged) {
    SerialChannel channel(m_pty.SlavePath());
    ASSERT_EQ(OpenQuietly(channel, {1, 50}), qel::kOk);
    char buffer[4] = {};
    EXPECT_EQ(channel.Read(buffer, 1), kCommsErrReadTimeout);
    EXPECT_EQ(channel.Read(buffer, -1), kCommsErrBadBuffer);
    EXPECT_EQ(channel.Write(buffer, -1), kCommsErrBadBuffer);
}

TEST_F(SerialChannelOverPty, CloseReleasesThePortAndIsHarmlessWhenRepeated) {
    SerialChannel channel(m_pty.SlavePath());
    channel.Close();  // never opened
    ASSERT_EQ(OpenQuietly(channel, {1, 1000}), qel::kOk);
    channel.Close();
    channel.Close();
    char byte = 'x';
    EXPECT_EQ(channel.Write(&byte, 1), kCommsErrNotOpen);
    EXPECT_EQ(channel.Read(&byte, 1), kCommsErrNotOpen);
    EXPECT_EQ(OpenQuietly(channel, {1, 1000}), qel::kOk);  // the port can be set up anew
}

TEST_F(SerialChannelOverPty, CopyWorksOnItsOwnAndLeavesTheOriginalOpen) {
    SerialChannel original(m_pty.SlavePath());
    ASSERT_EQ(OpenQuietly(original, {1, 1000}), qel::kOk);
    char byte = 'c';
    {
        SerialChannel copy(original);
        EXPECT_EQ(copy.Write(&byte, 1), qel::kOk);
        copy.Close();
    }
    SerialChannel moved(std::move(original));
    EXPECT_EQ(original.Write(&byte, 1), qel::kOk);  // a move copies; the source keeps its port
    EXPECT_EQ(moved.Write(&byte, 1), qel::kOk);
    EXPECT_EQ(m_pty.Receive(3), "ccc");
}

// Stands in for the port's purges, so each of ClearBuffers' outcomes can be chosen.
class PurgeScript : public CComms {
  public:
    PurgeScript(int receiveResult, int transmitResult)
        : m_receiveResult(receiveResult), m_transmitResult(transmitResult) {}
    int PurgeRcvBuffer() override {
        calls += "R";
        return m_receiveResult;
    }
    int PurgeTransmitBuffer() override {
        calls += "T";
        return m_transmitResult;
    }
    std::string calls;

  private:
    int m_receiveResult;
    int m_transmitResult;
};

struct ClearCase {
    const char* name;
    int receiveResult;
    int transmitResult;
    int expected;
    const char* calls;
};

class SerialChannelClearBuffers : public ::testing::TestWithParam<ClearCase> {};

TEST_P(SerialChannelClearBuffers, PurgesReceiveThenTransmit) {
    SerialChannel channel;
    PurgeScript comms(GetParam().receiveResult, GetParam().transmitResult);
    EXPECT_EQ(SerialChannelTestAccess::ClearBuffers(channel, comms), GetParam().expected);
    EXPECT_EQ(comms.calls, GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SerialChannelClearBuffers,
    ::testing::Values(ClearCase{"BothEmptied", 0, 0, qel::kOk, "RT"},
                      ClearCase{"ReceiveFails", kCommsErrPurge, 0, qel::kErrPurgeReceive, "R"},
                      ClearCase{"TransmitFails", 0, kCommsErrPurge, qel::kErrPurgeTransmit, "RT"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(SerialChannelOverPty, ClearBuffersOnTheRealPort) {
    SerialChannel channel(m_pty.SlavePath());
    CComms& comms = SerialChannelTestAccess::Comms(channel);
    EXPECT_EQ(SerialChannelTestAccess::ClearBuffers(channel, comms), qel::kErrPurgeReceive);
    ASSERT_EQ(OpenQuietly(channel, {1, 1000}), qel::kOk);
    EXPECT_EQ(SerialChannelTestAccess::ClearBuffers(channel, comms), qel::kOk);
}

}  // namespace
