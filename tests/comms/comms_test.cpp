#include "comms.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "case_name.h"
#include "comms_test_access.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr comm_settings k8N1{0, 115200, 8, 0, 0, {}};

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class CommsOverPty : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsOpen());
        m_comms.SetDevicePath(m_pty.SlavePath());
        ASSERT_EQ(m_comms.SetCommPort(&k8N1), kCommsOk);
        ASSERT_NE(m_comms.IsInitialized(), 0);
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

TEST_F(CommsOverPty, ReadAssemblesExactlyTheCountFromPiecesSentApart) {
    m_comms.SetTimeOut(5000);
    std::thread device([this] {
        for (const char* piece : {"Z1", "}0", "7\r"}) {
            m_pty.Send(piece);
            std::this_thread::yield();
        }
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
    EXPECT_EQ(ReadText(6, &result), "456789");
    EXPECT_EQ(result, kCommsOk);
}

TEST_F(CommsOverPty, ReadTimesOutWithinItsBound) {
    ASSERT_TRUE(m_pty.Send("ab"));  // two of the three bytes asked for
    auto start = Clock::now();
    int result = -1;
    ReadText(3, &result);
    EXPECT_EQ(result, kCommsErrReadTimeout);
    EXPECT_GE(MillisecondsSince(start), 90);
    EXPECT_LT(MillisecondsSince(start), 2000);
}

TEST_F(CommsOverPty, WriteReachesTheDeviceUntranslated) {
    const std::string frame = "Z0A}01\r\n\x7f";
    EXPECT_EQ(WriteText(frame), kCommsOk);
    EXPECT_EQ(m_pty.Receive(frame.size()), frame);
}

TEST_F(CommsOverPty, OpeningAndPurgingDropWhatWasWaiting) {
    ASSERT_TRUE(m_pty.Send("late reply"));
    ASSERT_EQ(m_comms.SetCommPort(&k8N1), kCommsOk);  // replaces the port it held
    m_comms.SetTimeOut(50);
    int result = -1;
    ReadText(1, &result);
    EXPECT_EQ(result, kCommsErrReadTimeout);

    ASSERT_TRUE(m_pty.Send("xyz"));
    m_comms.SetTimeOut(1000);
    ASSERT_EQ(ReadText(1, &result), "x");  // the rest arrived with it
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
    unsigned char byte = 0;
    const unsigned long negativeLength = static_cast<unsigned long>(-1);
    EXPECT_EQ(m_comms.Read(nullptr, 1), kCommsErrBadBuffer);
    EXPECT_EQ(m_comms.Write(nullptr, 1), kCommsErrBadBuffer);
    EXPECT_EQ(m_comms.Read(&byte, negativeLength), kCommsErrBadBuffer);
    EXPECT_EQ(m_comms.Write(&byte, negativeLength), kCommsErrBadBuffer);
    EXPECT_EQ(m_comms.Read(nullptr, 0), kCommsOk);
}

TEST_F(CommsOverPty, SecondUserIsTurnedAwayUntilDeinstall) {
    CComms other;
    other.SetDevicePath(m_pty.SlavePath());
    EXPECT_EQ(other.SetCommPort(&k8N1), kCommsErrBusy);
    EXPECT_EQ(m_comms.Deinstall(), kCommsOk);
    EXPECT_EQ(m_comms.Deinstall(), kCommsOk);
    EXPECT_EQ(other.SetCommPort(&k8N1), kCommsOk);

    int result = -1;
    ReadText(1, &result);
    EXPECT_EQ(result, kCommsErrNotOpen);
    EXPECT_EQ(WriteText("x"), kCommsErrNotOpen);
    EXPECT_EQ(m_comms.PurgeRcvBuffer(), kCommsErrNotOpen);
    EXPECT_EQ(m_comms.PurgeTransmitBuffer(), kCommsErrNotOpen);
    EXPECT_EQ(m_comms.IsInitialized(), 0);
}

TEST_F(CommsOverPty, SettingsTheLineDoesNotRunAreNeverReportedAsReady) {
    // A pseudo-terminal takes 7 data bits and even parity but keeps running 8N1; the C library
    // shows the mismatch in the setup itself or only in the read-back afterwards.
    comm_settings settings{0, 115200, 7, kCommsParityEven, kCommsStopBitsOne, {}};
    int result = m_comms.SetCommPort(&settings);
    EXPECT_TRUE(result == kCommsErrSetup || (result == kCommsOk && m_comms.IsInitialized() == 0));
}

TEST_F(CommsOverPty, WriteGivesUpAtItsDeadlineWhenTheDeviceTakesNothing) {
    // A descriptor of our own, opened before the port's, fills the line until it stays full.
    m_comms.Deinstall();
    int filler = open(m_pty.SlavePath(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    ASSERT_EQ(m_comms.SetCommPort(&k8N1), kCommsOk);
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

#ifdef TIOCGEXCL
TEST_F(CommsOverPty, DeinstallGivesUpExclusiveModeThatWouldOutliveIt) {
    m_comms.Deinstall();
    int other = open(m_pty.SlavePath(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(m_comms.SetCommPort(&k8N1), kCommsOk);
    int exclusive = 0;
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);
    m_comms.Deinstall();
    ASSERT_EQ(ioctl(other, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    close(other);
}

bool LineIsExclusive(const char* path) {
    const int probe = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0) {
        return errno == EBUSY;  // exclusive mode turns away everyone but root
    }
    int exclusive = 0;
    const bool asked = ioctl(probe, TIOCGEXCL, &exclusive) == 0;
    close(probe);
    return asked && exclusive != 0;
}

// Neither a refused opener nor a copy takes exclusive mode from the user that holds the port.
TEST_F(CommsOverPty, ExclusiveModeStaysWithTheUserThatHoldsThePort) {
    ASSERT_TRUE(LineIsExclusive(m_pty.SlavePath()));
    CComms refused;
    refused.SetDevicePath(m_pty.SlavePath());
    ASSERT_EQ(refused.SetCommPort(&k8N1), kCommsErrBusy);
    refused.Deinstall();
    { CComms copy(m_comms); }
    EXPECT_TRUE(LineIsExclusive(m_pty.SlavePath()));
    CComms third;
    third.SetDevicePath(m_pty.SlavePath());
    EXPECT_EQ(third.SetCommPort(&k8N1), kCommsErrBusy);

    m_comms.Deinstall();
    EXPECT_FALSE(LineIsExclusive(m_pty.SlavePath()));
    EXPECT_EQ(third.SetCommPort(&k8N1), kCommsOk);
    EXPECT_TRUE(LineIsExclusive(m_pty.SlavePath()));
}
#endif

TEST_F(CommsOverPty, CopyHoldsItsOwnDescriptorOfThePort) {
    {
        CComms copy(m_comms);
        EXPECT_NE(CCommsTestAccess::Handle(copy), CCommsTestAccess::Handle(m_comms));
        EXPECT_EQ(copy.Write(reinterpret_cast<const unsigned char*>("c"), 1), kCommsOk);
    }
    EXPECT_EQ(WriteText("o"), kCommsOk);  // the copy's end left the original open
    EXPECT_EQ(m_pty.Receive(2), "co");
    CComms assigned(m_comms);
    assigned = CComms();
    EXPECT_EQ(CCommsTestAccess::Handle(assigned), -1);
}

TEST(Comms, PortIndexNamesTheSystemsSerialDeviceUnlessAPathIsGiven) {
    CComms comms;
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 7), "/dev/ttyS7");
    comms.SetDevicePath("/dev/ttyUSB0");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 7), "/dev/ttyUSB0");
    comms.SetDevicePath("");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 0), "/dev/ttyS0");
    unsigned char byte = 0;
    EXPECT_EQ(comms.Read(&byte, 1), kCommsErrNotOpen);
    EXPECT_EQ(comms.Deinstall(), kCommsOk);  // nothing open
}

struct SetupCase {
    const char* name;
    const char* path;  // null: the pseudo-terminal
    comm_settings settings;
    int expected;
};

class CommsSetupFailure : public ::testing::TestWithParam<SetupCase> {};

TEST_P(CommsSetupFailure, ReportsWhyAndHoldsNothing) {
    PtyPair pty;
    CComms comms;
    comms.SetDevicePath(GetParam().path != nullptr ? GetParam().path : pty.SlavePath());
    EXPECT_EQ(comms.SetCommPort(&GetParam().settings), GetParam().expected);
    EXPECT_EQ(CCommsTestAccess::Handle(comms), -1);
    EXPECT_EQ(comms.SetCommPort(nullptr), kCommsErrBadSettings);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, CommsSetupFailure,
    ::testing::Values(
        SetupCase{"Missing", "/nonexistent/ttyQ9", k8N1, kCommsErrOpen},
        SetupCase{"NotATerminal", "/dev/null", k8N1, kCommsErrSetup},
        SetupCase{"UnknownBaud", nullptr, {0, 12345, 8, 0, 0, {}}, kCommsErrBadSettings},
        SetupCase{"NineDataBits", nullptr, {0, 115200, 9, 0, 0, {}}, kCommsErrBadSettings},
        SetupCase{"MarkParity", nullptr, {0, 115200, 8, 3, 0, {}}, kCommsErrBadSettings},
        SetupCase{"OneAndAHalfStopBits", nullptr, {0, 115200, 8, 0, 1, {}}, kCommsErrBadSettings},
        SetupCase{"NegativePortIndex", "", {-1, 115200, 8, 0, 0, {}}, kCommsErrBadSettings}),
    CaseName());

}  // namespace
