#include "serial_channel.h"

#include <gtest/gtest.h>

#include <string>

#include "comms_test_access.h"
#include "event_recorder.h"
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

using Access = SerialChannelTestAccess;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

// Opens and returns what Open printed.
std::string OpenPrinting(SerialChannel& channel, _serial_open_params* params, int* result) {
    CaptureStdout();
    *result = channel.Open(params);
    return GetCapturedStdout();
}

struct OpenCase {
    _serial_open_params params;
    const char* line;
    std::int32_t portIndex;
};

class SerialChannelOpen : public ::testing::TestWithParam<OpenCase> {};

TEST_P(SerialChannelOpen, PrintsItsLineAndSetsThePortUpAt115200Baud8N1) {
    PtyPair pty;
    SerialChannel channel(pty.SlavePath());
    _serial_open_params params = GetParam().params;
    int result = -1;
    EXPECT_EQ(OpenPrinting(channel, &params, &result), GetParam().line);
    EXPECT_EQ(result, qel::kOk);
    const comm_settings& settings = CCommsTestAccess::Settings(Access::Comms(channel));
    EXPECT_EQ(settings.port, GetParam().portIndex);
    EXPECT_EQ(settings.baud, 115200);
    EXPECT_EQ(settings.dataBits, 8);
    EXPECT_EQ(settings.parity, 0);
    EXPECT_EQ(settings.stopBits, 0);
    EXPECT_EQ(CCommsTestAccess::TimeOut(Access::Comms(channel)),
              static_cast<unsigned long>(params.timeout));
}

INSTANTIATE_TEST_SUITE_P(
    Ports, SerialChannelOpen,
    ::testing::Values(OpenCase{{1, 1000}, "\nInitialize communication port (COM1, 115200)...", 0},
                      OpenCase{
                          {12, 250}, "\nInitialize communication port (COM12, 115200)...", 11}),
    [](const testing::TestParamInfo<OpenCase>& tested) {
        return "Com" + std::to_string(tested.param.params.port);
    });

TEST(SerialChannel, FailedSetupReturnsTheLibrarysCodeAndGoesNoFurther) {
    SerialChannel channel("/nonexistent/ttyQ9");
    _serial_open_params params{3, 777};
    int result = -1;
    EXPECT_EQ(OpenPrinting(channel, &params, &result),
              "\nInitialize communication port (COM3, 115200)...");
    EXPECT_EQ(result, kCommsErrOpen);
    EXPECT_NE(CCommsTestAccess::TimeOut(Access::Comms(channel)), 777u);  // never handed on

    EXPECT_EQ(OpenPrinting(channel, nullptr, &result), "");
    EXPECT_EQ(result, kCommsErrBadSettings);

    // With a sink of its own, which its copies keep, the line is an event and nothing is printed.
    EventRecorder events;
    channel.SetEventSink(&events);
    SerialChannel copy(channel);
    EXPECT_EQ(OpenPrinting(copy, &params, &result), "");
    ASSERT_EQ(events.Events().size(), 1u);
    EXPECT_EQ(events.Text(), "\nInitialize communication port (COM3, 115200)...");
    EXPECT_EQ(events.Events()[0].event.kind, QEL_EVENT_INFO);
    EXPECT_EQ(events.Events()[0].event.phase, QEL_PHASE_OPEN);
}

TEST(SerialChannel, PortThatDoesNotComeUpGives2143AndTheNextOpenRecovers) {
    PtyPair pty;
    SerialChannel channel(pty.SlavePath());
    _serial_open_params params{1, 1000};
    int result = -1;
    CCommsTestAccess::SimulateNotReady(Access::Comms(channel), true);
    OpenPrinting(channel, &params, &result);
    EXPECT_EQ(result, qel::kErrSerialNotReady);
    // The program opens again after its pause, without a Close in between.
    CCommsTestAccess::SimulateNotReady(Access::Comms(channel), false);
    OpenPrinting(channel, &params, &result);
    EXPECT_EQ(result, qel::kOk);
}

TEST(SerialChannel, ReadWriteAndCloseReachThePortUnchanged) {
    PtyPair pty;
    SerialChannel channel(pty.SlavePath());
    channel.Close();  // never opened
    _serial_open_params params{1, 50};
    int result = -1;
    OpenPrinting(channel, &params, &result);
    ASSERT_EQ(result, qel::kOk);

    char request[] = "Z0A}0102";
    EXPECT_EQ(channel.Write(request, 8), qel::kOk);
    EXPECT_EQ(pty.Receive(8), "Z0A}0102");
    ASSERT_TRUE(pty.Send("Z8A}02000000B1\rnext"));
    char reply[16] = {};
    EXPECT_EQ(channel.Read(reply, 15), qel::kOk);
    EXPECT_EQ(std::string(reply), "Z8A}02000000B1\r");
    EXPECT_EQ(channel.Read(reply, 5), kCommsErrReadTimeout);  // only "next" is there
    EXPECT_EQ(channel.Read(reply, -1), kCommsErrBadBuffer);
    EXPECT_EQ(channel.Write(reply, -1), kCommsErrBadBuffer);

    channel.Close();
    channel.Close();
    EXPECT_EQ(channel.Write(request, 1), kCommsErrNotOpen);
    OpenPrinting(channel, &params, &result);
    EXPECT_EQ(result, qel::kOk);  // set up anew
}

TEST(SerialChannel, CopyAndMoveLeaveBothChannelsWorking) {
    PtyPair pty;
    SerialChannel original(pty.SlavePath());
    _serial_open_params params{1, 1000};
    int result = -1;
    OpenPrinting(original, &params, &result);
    ASSERT_EQ(result, qel::kOk);
    char byte = 'c';
    {
        SerialChannel copy(original);
        EXPECT_EQ(copy.Write(&byte, 1), qel::kOk);
        copy.Close();
    }
    SerialChannel moved(std::move(original));
    EXPECT_EQ(original.Write(&byte, 1), qel::kOk);
    EXPECT_EQ(moved.Write(&byte, 1), qel::kOk);
    EXPECT_EQ(pty.Receive(3), "ccc");
}

// Chooses the outcome of each purge.
class PurgeScript : public CComms {
  public:
    PurgeScript(int receive, int transmit) : m_receive(receive), m_transmit(transmit) {}
    int PurgeRcvBuffer() override {
        calls += "R";
        return m_receive;
    }
    int PurgeTransmitBuffer() override {
        calls += "T";
        return m_transmit;
    }
    std::string calls;

  private:
    int m_receive;
    int m_transmit;
};

TEST(SerialChannel, ClearBuffersPurgesReceiveThenTransmit) {
    SerialChannel channel;
    PurgeScript clean(0, 0), receiveFails(kCommsErrPurge, 0), transmitFails(0, kCommsErrPurge);
    EXPECT_EQ(Access::ClearBuffers(channel, clean), qel::kOk);
    EXPECT_EQ(Access::ClearBuffers(channel, receiveFails), qel::kErrPurgeReceive);
    EXPECT_EQ(Access::ClearBuffers(channel, transmitFails), qel::kErrPurgeTransmit);
    EXPECT_EQ(clean.calls + receiveFails.calls + transmitFails.calls, "RTRRT");
    EXPECT_EQ(Access::ClearBuffers(channel, Access::Comms(channel)), qel::kErrPurgeReceive);
}

}  // namespace
