#include "comms.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <string>
#include <thread>

#include "comms_test_access.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

comm_settings Settings8N1(std::int32_t baud = 115200) {
    return {0, baud, 8, 0, 0, {}};
}

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class CommsOverPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsOpen());
        m_comms.SetDevicePath(m_pty.SlavePath());
        comm_settings settings = Settings8N1();
        ASSERT_EQ(m_comms.SetCommPort(&settings), kCommsOk);
        m_comms.SetTimeOut(100);
    }

    std::string ReadText(unsigned long count, int* result) {
        std::string text(count, '\0');
        *result = m_comms.Read(reinterpret_cast<unsigned char*>(text.data()), count);
        return text;
    }

    int WriteText(const std::string& text) {
        return m_comms.Write(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }

    PtyPair m_pty;
    CComms m_comms;
};

TEST_F(CommsOverPty, OpensThroughTheDevicePathAndComesUp) {
    EXPECT_NE(m_comms.IsInitialized(), 0);
}

TEST_F(CommsOverPty, ReadAssemblesExactlyTheCountFromPiecesSentApart) {
    m_comms.SetTimeOut(5000);
    std::thread device([this] {
        m_pty.Send("Z1");
        std::this_thread::yield();
        m_pty.Send("}0");
        std::this_thread::yield();
        m_pty.Send("7\r");
    });
    int result = -1;
    std::string text = ReadText(6, &result);
    device.join();
    EXPECT_EQ(result, kCommsOk);
    EXPECT_EQ(text, "Z1}07\r");
}

TEST_F(CommsOverPty, BytesBeyondTheCountStayForTheNextRead) {
    ASSERT_TRUE(m_pty.Send("0123456789"));
    int result = -1;
    EXPECT_EQ(ReadText(4, &result), "0123");
    EXPECT_EQ(result, kCommsOk);
    EXPECT_EQ(ReadText(6, &result), "456789");
    EXPECT_EQ(result, kCommsOk);
}

TEST_F(CommsOverPty, ReadTimesOutWithinItsBound) {
    m_comms.SetTimeOut(100);
    ASSERT_TRUE(m_pty.Send("ab"));  // two of the three bytes asked for
    auto start = Clock::now();
    int result = -1;
    ReadText(3, &result);
    long long elapsed = MillisecondsSince(start);
    EXPECT_EQ(result, kCommsErrReadTimeout);
    EXPECT_GE(elapsed, 90);
    EXPECT_LT(elapsed, 2000);
}

TEST_F(CommsOverPty, ZeroTimeOutTakesOnlyWhatHasArrived) {
    m_comms.SetTimeOut(0);
    auto start = Clock::now();
    int result = -1;
    ReadText(1, &result);
    EXPECT_EQ(result, kCommsErrReadTimeout);
    EXPECT_LT(MillisecondsSince(start), 1000);
}

TEST_F(CommsOverPty, WriteReachesTheDeviceUnchanged) {
    // Raw output: a CR or LF must not be translated on the way.
    const std::string frame = "Z0A}01\r\n\x7f";
    EXPECT_EQ(WriteText(frame), kCommsOk);
    EXPECT_EQ(m_pty.Receive(frame.size()), frame);
}

TEST_F(CommsOverPty, OpeningEmptiesWhatWasWaiting) {
    ASSERT_TRUE(m_pty.Send("late reply"));
    comm_settings settings = Settings8N1();
    ASSERT_EQ(m_comms.SetCommPort(&settings), kCommsOk);
    m_comms.SetTimeOut(50);
    int result = -1;
    ReadText(1, &result);
    EXPECT_EQ(result, kCommsErrReadTimeout);
}

TEST_F(CommsOverPty, PurgeReceiveDropsUnreadBytes) {
    ASSERT_TRUE(m_pty.Send("xyz"));
    int result = -1;
    ASSERT_EQ(ReadText(1, &result), "x");  // the rest has arrived with it
    EXPECT_EQ(m_comms.PurgeRcvBuffer(), kCommsOk);
    EXPECT_EQ(m_comms.PurgeTransmitBuffer(), kCommsOk);
    m_comms.SetTimeOut(50);
    ReadText(1, &result);
    EXPECT_EQ(result, kCommsErrReadTimeout);
}

TEST_F(CommsOverPty, HangUpFailsEveryOperation) {
    m_pty.CloseMaster();
    int result = -1;
    ReadText(1, &result);
    EXPECT_EQ(result, kCommsErrRead);
    EXPECT_EQ(WriteText("x"), kCommsErrWrite);
    EXPECT_EQ(m_comms.PurgeRcvBuffer(), kCommsErrPurge);
    EXPECT_EQ(m_comms.PurgeTransmitBuffer(), kCommsErrPurge);
}

TEST_F(CommsOverPty, MissingBufferOrImpossibleCountIsRefused) {
    EXPECT_EQ(m_comms.Read(nullptr, 1), kCommsErrBadBuffer);
    EXPECT_EQ(m_comms.Write(nullptr, 1), kCommsErrBadBuffer);
    unsigned char byte = 0;
    // A negative length turned unsigned must not read or write past the buffer.
    EXPECT_EQ(m_comms.Read(&byte, static_cast<unsigned long>(-1)), kCommsErrBadBuffer);
    EXPECT_EQ(m_comms.Write(&byte, static_cast<unsigned long>(-1)), kCommsErrBadBuffer);
    EXPECT_EQ(m_comms.Read(nullptr, 0), kCommsOk);
    EXPECT_EQ(m_comms.Write(nullptr, 0), kCommsOk);
}

TEST_F(CommsOverPty, SecondUserOfThePortIsTurnedAway) {
    CComms other;
    other.SetDevicePath(m_pty.SlavePath());
    comm_settings settings = Settings8N1();
    EXPECT_EQ(other.SetCommPort(&settings), kCommsErrBusy);
    EXPECT_EQ(other.IsInitialized(), 0);
    EXPECT_EQ(WriteText("ok"), kCommsOk);  // the holder is undisturbed
    EXPECT_EQ(m_pty.Receive(2), "ok");
}

TEST_F(CommsOverPty, DeinstallReleasesThePortForTheNextOpen) {
    EXPECT_EQ(m_comms.Deinstall(), kCommsOk);
    EXPECT_EQ(m_comms.Deinstall(), kCommsOk);
    EXPECT_EQ(m_comms.IsInitialized(), 0);
    int result = -1;
    ReadText(1, &result);
    EXPECT_EQ(result, kCommsErrNotOpen);
    EXPECT_EQ(WriteText("x"), kCommsErrNotOpen);
    EXPECT_EQ(m_comms.PurgeRcvBuffer(), kCommsErrNotOpen);
    EXPECT_EQ(m_comms.PurgeTransmitBuffer(), kCommsErrNotOpen);

    CComms next;
    next.SetDevicePath(m_pty.SlavePath());
    comm_settings settings = Settings8N1();
    EXPECT_EQ(next.SetCommPort(&settings), kCommsOk);
}

TEST_F(CommsOverPty, SetCommPortAgainReplacesThePortItHolds) {
    comm_settings settings = Settings8N1();
    EXPECT_EQ(m_comms.SetCommPort(&settings), kCommsOk);  // not turned away by its own lock
    EXPECT_EQ(WriteText("re"), kCommsOk);
    EXPECT_EQ(m_pty.Receive(2), "re");
}

TEST_F(CommsOverPty, SettingsTheLineDoesNotRunAreNeverReportedAsReady) {
    // A pseudo-terminal accepts 7 data bits and even parity but keeps running 8N1. Depending on
    // the C library the mismatch shows in the setup itself or in the read-back afterwards.
    comm_settings settings{0, 115200, 7, kCommsParityEven, kCommsStopBitsOne, {}};
    int result = m_comms.SetCommPort(&settings);
    if (result == kCommsOk) {
        EXPECT_EQ(m_comms.IsInitialized(), 0);
    } else {
        EXPECT_EQ(result, kCommsErrSetup);
        EXPECT_EQ(CCommsTestAccess::Handle(m_comms), -1);
    }
}

TEST_F(CommsOverPty, WriteGivesUpAtItsDeadlineWhenTheDeviceTakesNothing) {
    // A second descriptor of our own, opened before the port's, fills the line's buffer.
    int filler = open(m_pty.SlavePath(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    comm_settings settings = Settings8N1();
    ASSERT_EQ(m_comms.SetCommPort(&settings), kCommsOk);
    // The line moves bytes on in the background: fill until it has stayed full for a while.
    char block[4096] = {};
    for (int round = 0; round < 1000; ++round) {
        while (write(filler, block, sizeof block) > 0) {
        }
        pollfd entry{filler, POLLOUT, 0};
        if (poll(&entry, 1, 100) == 0) {
            break;
        }
    }
    m_comms.SetTimeOut(50);
    auto start = Clock::now();
    EXPECT_EQ(WriteText(std::string(64, 'w')), kCommsErrWriteTimeout);
    EXPECT_LT(MillisecondsSince(start), 2000);
    close(filler);
}

TEST_F(CommsOverPty, CopyHoldsItsOwnDescriptorOfThePort) {
    {
        CComms copy(m_comms);
        EXPECT_NE(copy.IsInitialized(), 0);
        EXPECT_NE(CCommsTestAccess::Handle(copy), CCommsTestAccess::Handle(m_comms));
        EXPECT_EQ(copy.Write(reinterpret_cast<const unsigned char*>("c"), 1), kCommsOk);
        EXPECT_EQ(m_pty.Receive(1), "c");
    }
    // The copy is gone; the original's descriptor is still open.
    EXPECT_EQ(WriteText("o"), kCommsOk);
    EXPECT_EQ(m_pty.Receive(1), "o");

    CComms idle;
    CComms assigned(m_comms);
    assigned = idle;
    EXPECT_EQ(assigned.IsInitialized(), 0);
    EXPECT_EQ(CCommsTestAccess::Handle(assigned), -1);
    EXPECT_EQ(WriteText("k"), kCommsOk);
}

TEST(Comms, IdlePortRefusesWorkAndDeinstallsHarmlessly) {
    CComms comms;
    EXPECT_EQ(comms.IsInitialized(), 0);
    unsigned char byte = 0;
    EXPECT_EQ(comms.Read(&byte, 1), kCommsErrNotOpen);
    EXPECT_EQ(comms.Write(&byte, 1), kCommsErrNotOpen);
    EXPECT_EQ(comms.Deinstall(), kCommsOk);
    EXPECT_EQ(comms.Deinstall(), kCommsOk);
    CComms copy(comms);
    EXPECT_EQ(copy.IsInitialized(), 0);
}

TEST(Comms, PortIndexNamesTheSystemsSerialDevice) {
    CComms comms;
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 0), "/dev/ttyS0");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 7), "/dev/ttyS7");
    comms.SetDevicePath("/dev/ttyUSB0");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 7), "/dev/ttyUSB0");
    comms.SetDevicePath("");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 3), "/dev/ttyS3");
    comms.SetDevicePath(nullptr);
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 4), "/dev/ttyS4");
}

struct DeviceCase {
    const char* name;
    const char* path;
    int expected;
};

class CommsOpenFailure : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(CommsOpenFailure, ReportsWhyAndStaysClosed) {
    CComms comms;
    comms.SetDevicePath(GetParam().path);
    comm_settings settings = Settings8N1();
    EXPECT_EQ(comms.SetCommPort(&settings), GetParam().expected);
    EXPECT_EQ(comms.IsInitialized(), 0);
    EXPECT_EQ(CCommsTestAccess::Handle(comms), -1);
}

INSTANTIATE_TEST_SUITE_P(Devices, CommsOpenFailure,
                         ::testing::Values(DeviceCase{"Missing", "/nonexistent/ttyQ9",
                                                      kCommsErrOpen},
                                           DeviceCase{"NotATerminal", "/dev/null", kCommsErrSetup}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

struct SettingsCase {
    const char* name;
    comm_settings settings;
    bool withDevicePath;
};

class CommsBadSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(CommsBadSettings, AreRefusedBeforeAnythingOpens) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    CComms comms;
    if (GetParam().withDevicePath) {
        comms.SetDevicePath(pty.SlavePath());
    }
    EXPECT_EQ(comms.SetCommPort(&GetParam().settings), kCommsErrBadSettings);
    EXPECT_EQ(CCommsTestAccess::Handle(comms), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CommsBadSettings,
    ::testing::Values(SettingsCase{"UnknownBaud", {0, 12345, 8, 0, 0, {}}, true},
                      SettingsCase{"ZeroBaud", {0, 0, 8, 0, 0, {}}, true},
                      SettingsCase{"NineDataBits", {0, 115200, 9, 0, 0, {}}, true},
                      SettingsCase{"FourDataBits", {0, 115200, 4, 0, 0, {}}, true},
                      SettingsCase{"MarkParity", {0, 115200, 8, 3, 0, {}}, true},
                      SettingsCase{"OneAndAHalfStopBits", {0, 115200, 8, 0, 1, {}}, true},
                      SettingsCase{"NegativePortIndex", {-1, 115200, 8, 0, 0, {}}, false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(Comms, MissingSettingsAreRefused) {
    CComms comms;
    EXPECT_EQ(comms.SetCommPort(nullptr), kCommsErrBadSettings);
}

TEST(Comms, PortIndexIsIgnoredWhenADevicePathIsGiven) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    CComms comms;
    comms.SetDevicePath(pty.SlavePath());
    comm_settings settings{-1, 115200, 8, 0, 0, {}};
    EXPECT_EQ(comms.SetCommPort(&settings), kCommsOk);
}

}  // namespace
