// The Win32 back end of CComms. Tests that need a line run when QEL_TEST_COM_PORT names a COM
// port (1 is COM1) that leads to a simulated device, as scripts/test-mingw sets it up under Wine;
// elsewhere they are skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include <windows.h>

#include "case_name.h"
#include "comms.h"
#include "comms_port.h"
#include "comms_test_access.h"

namespace {

comm_settings Line8N1(std::int32_t portIndex) {
    return {portIndex, 115200, 8, 0, 0, {}};
}

TEST(CommsWin32, PortIndexNamesTheDeviceNamespaceAboveNineToo) {
    const CComms comms;
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 0), "\\\\.\\COM1");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 9), "\\\\.\\COM10");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 254), "\\\\.\\COM255");
}

TEST(CommsWin32, ADevicePathGoesThroughTheDeviceNamespaceOnce) {
    CComms comms;
    comms.SetDevicePath("COM12");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 0), "\\\\.\\COM12");
    comms.SetDevicePath("\\\\.\\COM3");
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 0), "\\\\.\\COM3");
    comms.SetDevicePath(nullptr);
    EXPECT_EQ(CCommsTestAccess::DevicePathFor(comms, 1), "\\\\.\\COM2");
}

// Some USB CDC drivers report XonChar and XoffChar as 0/0, and Windows refuses a line whose two
// are equal (3004 on every attempt): the line sent carries valid ones although flow control is
// off. DTR and RTS are raised, as the README says.
TEST(CommsWin32, TheLineSentHasXonXoffOfItsOwnAndRaisesDtrAndRts) {
    DCB line{};  // as such a driver reports it
    line.DCBlength = sizeof line;
    comms_port::MakeRawLine(&line, Line8N1(0));
    EXPECT_EQ(line.XonChar, 0x11);
    EXPECT_EQ(line.XoffChar, 0x13);
    EXPECT_GT(line.XonLim, 0);
    EXPECT_GT(line.XoffLim, 0);
    EXPECT_FALSE(line.fOutX);
    EXPECT_FALSE(line.fInX);
    EXPECT_FALSE(line.fOutxCtsFlow);
    EXPECT_EQ(line.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(line.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_EQ(line.BaudRate, 115200u);
    EXPECT_EQ(line.ByteSize, 8);
    EXPECT_EQ(line.Parity, NOPARITY);
    EXPECT_EQ(line.StopBits, ONESTOPBIT);
}

TEST(CommsWin32, AnIdlePortRefusesWorkAndDeinstallsHarmlessly) {
    CComms comms;
    unsigned char byte = 0;
    EXPECT_EQ(comms.IsInitialized(), 0);
    EXPECT_EQ(comms.Read(&byte, 1), kCommsErrNotOpen);
    EXPECT_EQ(comms.Write(&byte, 1), kCommsErrNotOpen);
    EXPECT_EQ(comms.PurgeRcvBuffer(), kCommsErrNotOpen);
    EXPECT_EQ(comms.PurgeTransmitBuffer(), kCommsErrNotOpen);
    EXPECT_EQ(comms.Deinstall(), kCommsOk);
    EXPECT_EQ(comms.Deinstall(), kCommsOk);
}

struct BadSettings {
    const char* name;
    comm_settings settings;
};

class CommsWin32BadSettings : public ::testing::TestWithParam<BadSettings> {};

TEST_P(CommsWin32BadSettings, AreRefusedBeforeAnythingOpens) {
    CComms comms;
    EXPECT_EQ(comms.SetCommPort(&GetParam().settings), kCommsErrBadSettings);
    EXPECT_EQ(CCommsTestAccess::Handle(comms), -1);
}

INSTANTIATE_TEST_SUITE_P(Settings, CommsWin32BadSettings,
                         ::testing::Values(BadSettings{"NegativePort", {-1, 115200, 8, 0, 0, {}}},
                                           BadSettings{"NoBaudRate", {0, 0, 8, 0, 0, {}}},
                                           BadSettings{"NineDataBits", {0, 115200, 9, 0, 0, {}}},
                                           BadSettings{"UnknownParity", {0, 115200, 8, 3, 0, {}}},
                                           BadSettings{"OneAndAHalfStopBits",
                                                       {0, 115200, 8, 0, 1, {}}}),
                         CaseName());

TEST(CommsWin32, MissingSettingsAreRefused) {
    CComms comms;
    EXPECT_EQ(comms.SetCommPort(nullptr), kCommsErrBadSettings);
}

TEST(CommsWin32, ADeviceThatDoesNotExistFailsToOpen) {
    CComms comms;
    comms.SetDevicePath("QelNoSuchPort");
    const comm_settings line = Line8N1(0);
    EXPECT_EQ(comms.SetCommPort(&line), kCommsErrOpen);
    EXPECT_EQ(comms.IsInitialized(), 0);
    EXPECT_EQ(CCommsTestAccess::Handle(comms), -1);
}

TEST(CommsWin32, ADeviceThatIsNoSerialPortFailsItsSetup) {
    CComms comms;
    comms.SetDevicePath("NUL");
    const comm_settings line = Line8N1(0);
    EXPECT_EQ(comms.SetCommPort(&line), kCommsErrSetup);
    EXPECT_EQ(CCommsTestAccess::Handle(comms), -1);
}

// ---- over a line to the simulated device ----

class CommsWin32OverLine : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* port = std::getenv("QEL_TEST_COM_PORT");
        if (port == nullptr || *port == '\0') {
            GTEST_SKIP() << "QEL_TEST_COM_PORT names no COM port wired to a device";
        }
        m_line = Line8N1(std::atoi(port) - 1);
        ASSERT_EQ(m_comms.SetCommPort(&m_line), kCommsOk);
        m_comms.SetTimeOut(kTimeoutMs);
        ASSERT_NE(m_comms.IsInitialized(), 0);
    }

    int WriteText(const std::string& text) {
        return m_comms.Write(reinterpret_cast<const unsigned char*>(text.data()),
                             static_cast<unsigned long>(text.size()));
    }
    int ReadText(std::size_t count, std::string* text) {
        std::string buffer(count, '\0');
        const int result = m_comms.Read(reinterpret_cast<unsigned char*>(buffer.data()),
                                        static_cast<unsigned long>(count));
        *text = buffer;
        return result;
    }

    // The device's reset exchange for message id 2.
    static constexpr const char* kResetRequest = "5A0A7D024B92\r";
    static constexpr const char* kResetReply = "5A8A7D02006DE3\r";
    static constexpr unsigned long kTimeoutMs = 2000;

    comm_settings m_line{};
    CComms m_comms;
};

TEST_F(CommsWin32OverLine, ThePortRunsDistinctXonXoffCharacters) {
    DCB line{};
    line.DCBlength = sizeof line;
    ASSERT_NE(GetCommState(reinterpret_cast<HANDLE>(CCommsTestAccess::Handle(m_comms)), &line),
              FALSE);
    EXPECT_NE(line.XonChar, line.XoffChar);
}

TEST_F(CommsWin32OverLine, AnExchangeArrivesWholeAndExact) {
    ASSERT_EQ(WriteText(kResetRequest), kCommsOk);
    std::string reply;
    ASSERT_EQ(ReadText(15, &reply), kCommsOk);
    EXPECT_EQ(reply, kResetReply);
}

TEST_F(CommsWin32OverLine, BytesBeyondTheCountStayForTheNextRead) {
    ASSERT_EQ(WriteText(kResetRequest), kCommsOk);
    std::string head;
    std::string tail;
    ASSERT_EQ(ReadText(4, &head), kCommsOk);
    ASSERT_EQ(ReadText(11, &tail), kCommsOk);
    EXPECT_EQ(head + tail, kResetReply);
}

TEST_F(CommsWin32OverLine, AReadThatGetsTooLittleTimesOutWithinItsBound) {
    m_comms.SetTimeOut(300);
    ASSERT_EQ(WriteText(kResetRequest), kCommsOk);
    std::string reply;
    const auto start = std::chrono::steady_clock::now();
    // Two more characters than the device sends: the reply arrives, the rest never does.
    EXPECT_EQ(ReadText(17, &reply), kCommsErrReadTimeout);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    EXPECT_LT(waited, std::chrono::milliseconds(kTimeoutMs));
    EXPECT_EQ(reply.substr(0, 15), kResetReply);
}

TEST_F(CommsWin32OverLine, ZeroTimeOutTakesOnlyWhatHasArrived) {
    m_comms.SetTimeOut(0);
    std::string nothing;
    EXPECT_EQ(ReadText(1, &nothing), kCommsErrReadTimeout);
}

TEST_F(CommsWin32OverLine, OpeningAgainEmptiesWhatWasWaiting) {
    ASSERT_EQ(WriteText(kResetRequest), kCommsOk);
    std::string head;
    ASSERT_EQ(ReadText(1, &head), kCommsOk);  // the reply has begun to arrive
    ASSERT_EQ(m_comms.SetCommPort(&m_line), kCommsOk);
    m_comms.SetTimeOut(300);
    std::string rest;
    EXPECT_EQ(ReadText(1, &rest), kCommsErrReadTimeout);
}

TEST_F(CommsWin32OverLine, PurgesEmptyBothDirections) {
    ASSERT_EQ(WriteText(kResetRequest), kCommsOk);
    std::string head;
    ASSERT_EQ(ReadText(1, &head), kCommsOk);
    EXPECT_EQ(m_comms.PurgeRcvBuffer(), kCommsOk);
    EXPECT_EQ(m_comms.PurgeTransmitBuffer(), kCommsOk);
    m_comms.SetTimeOut(300);
    std::string rest;
    EXPECT_EQ(ReadText(1, &rest), kCommsErrReadTimeout);
}

// Windows' serial driver refuses a second opener; Wine's emulation of it does not.
bool RunsUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST_F(CommsWin32OverLine, ASecondUserOfThePortIsTurnedAway) {
    if (RunsUnderWine()) {
        GTEST_SKIP() << "Wine lets a second user open a serial port";
    }
    CComms second;
    EXPECT_EQ(second.SetCommPort(&m_line), kCommsErrBusy);
    EXPECT_EQ(second.IsInitialized(), 0);
}

TEST_F(CommsWin32OverLine, DeinstallReleasesThePortForTheNextUser) {
    m_comms.Deinstall();
    CComms next;
    ASSERT_EQ(next.SetCommPort(&m_line), kCommsOk);
    EXPECT_NE(next.IsInitialized(), 0);
}

TEST_F(CommsWin32OverLine, ACopyHoldsItsOwnHandleOfThePort) {
    CComms copy(m_comms);
    ASSERT_NE(CCommsTestAccess::Handle(copy), -1);
    EXPECT_NE(CCommsTestAccess::Handle(copy), CCommsTestAccess::Handle(m_comms));
    EXPECT_NE(copy.IsInitialized(), 0);
    copy.Deinstall();
    // The original still works after the copy has closed its handle.
    ASSERT_EQ(WriteText(kResetRequest), kCommsOk);
    std::string reply;
    EXPECT_EQ(ReadText(15, &reply), kCommsOk);
}

TEST_F(CommsWin32OverLine, APortThatDoesNotComeUpIsNotReportedReady) {
    CCommsTestAccess::SimulateNotReady(m_comms, true);
    ASSERT_EQ(m_comms.SetCommPort(&m_line), kCommsOk);
    EXPECT_EQ(m_comms.IsInitialized(), 0);
}

}  // namespace
