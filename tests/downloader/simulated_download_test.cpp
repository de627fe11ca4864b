#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "case_name.h"
#include "device_model.h"
#include "driver_fixture.h"
#include "expected_image.h"
#include "output_checks.h"
#include "qel_download.h"
#include "sim_channel.h"
#include "sim_link_channel.h"
#include "wire_text.h"

namespace orvane_test {
namespace {

constexpr std::uint32_t kImageAddress = 0x40000;
const std::string kDownloadFailed = "\nERROR: Cannot download firmware to remote device.";
const std::string kDownloaded = "\nFile downloaded successfully.";

class SimulatedDownload : public DriverTest {
  protected:
    SimulatedDownload() {
        m_settings.filePath = m_files.Write("app.hex", IntelHexFile(0x3000, Data()));
    }

    static std::vector<std::uint8_t> Data() {
        std::vector<std::uint8_t> data(200);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(i * 7 + 1);
        }
        return data;
    }
    std::vector<std::uint8_t> ExpectedImage() const {
        const auto firmware = expected::ReadHex(m_settings.filePath);
        EXPECT_TRUE(firmware.has_value());
        return firmware ? expected::ApplicationImage(*firmware) : std::vector<std::uint8_t>{};
    }
    // As much of the device's memory as the image of the file takes.
    std::vector<std::uint8_t> DeviceImage() const {
        const auto& memory = m_device.Memory();
        return {memory.begin() + kImageAddress,
                memory.begin() + kImageAddress + ExpectedImage().size()};
    }
    RunResult RunOnDevice() { return Run(&m_channel); }

    qelsim::DeviceModel m_device;
    SimChannel m_channel{m_device};
};

struct VerifyCase {
    const char* name;
    int verifyMethod;
};

class SimulatedDownloadVerify : public SimulatedDownload,
                                public testing::WithParamInterface<VerifyCase> {};

TEST_P(SimulatedDownloadVerify, PutsTheApplicationImageIntoTheDevice) {
    m_settings.verifyMethod = GetParam().verifyMethod;
    const RunResult result = RunOnDevice();

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(EndsWith(result.output, kDownloaded));
    EXPECT_EQ(DeviceImage(), ExpectedImage());
    EXPECT_EQ(m_device.LastBootVerdict(), "boot ok");
    EXPECT_EQ(m_channel.Opens(), 1);
    EXPECT_EQ(m_channel.Closes(), 1);

    const int pages = static_cast<int>(ExpectedImage().size() / 256);
    const auto starts = m_events.OfKind(QEL_EVENT_START);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].event.address, 0x3000u);
    EXPECT_EQ(starts[0].event.end_address, 0x3000u + 200);
    EXPECT_EQ(starts[0].event.pages_total, pages);
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 1}));
    EXPECT_EQ(Ending().pages_done, pages);
    EXPECT_EQ(Ending().pages_total, pages);
    EXPECT_GT(Ending().line_bytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(Methods, SimulatedDownloadVerify,
                         testing::Values(VerifyCase{"Crc16", 1}, VerifyCase{"Full", 2}),
                         CaseName());

TEST_F(SimulatedDownload, LostReplyIsRetriedAfterAPause) {
    m_device.Options().dropReplies = {1};
    const RunResult result = RunOnDevice();

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(InOrder(result.output,
                        {"\nTransmitte Data. Attempt #1.", "\nWARNING: Sending data failed. ec=",
                         "\nOpen communication channel (attempt #2)...",
                         "\nTransmitte Data. Attempt #2.", kDownloaded}));
    EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>{5000});
    EXPECT_EQ(DeviceImage(), ExpectedImage());
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 2}));
}

TEST_F(SimulatedDownload, WrongDeviceCrcEndsAfterOneAttempt) {
    m_device.Options().lieAboutCrc16 = true;
    const RunResult result = RunOnDevice();

    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_TRUE(
        EndsWith(result.output,
                 "\nERROR: CRC16 of uploaded Application Image is incorrect." + kDownloadFailed));
    EXPECT_EQ(CountOf(result.output, "\nOpen communication channel"), 1);
    EXPECT_TRUE(SleepRecorder::Pauses().empty());
    EXPECT_EQ(m_channel.Closes(), 2);
    EXPECT_TRUE(Ends(Ending(), {3, QEL_FAILURE_WRONG_IMAGE, 5008, 1}));
}

TEST_F(SimulatedDownload, TheSameImageAgainWithSkippingWritesNothingAndSaysSo) {
    ASSERT_EQ(RunOnDevice().exitStatus, 0);
    const std::size_t before = m_device.Requests().size();
    m_settings.skipEqualPages = true;
    const RunResult result = RunOnDevice();

    EXPECT_EQ(result.exitStatus, 0);
    for (std::size_t i = before; i < m_device.Requests().size(); ++i) {
        EXPECT_NE(m_device.Requests()[i].command, 0x18) << "no page is written";
    }
    const int pages = static_cast<int>(ExpectedImage().size() / 256);
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 1}));
    EXPECT_EQ(Ending().pages_done, 0);
    EXPECT_EQ(Ending().pages_skipped, pages);
    EXPECT_TRUE(InOrder(result.output, {"\nCompare With Device. ec = 0",
                                        "\nPages to write: 0 of " + std::to_string(pages),
                                        "\nVerify Downloaded Data (CRC16). ec = 0", kDownloaded}));
}

TEST_F(SimulatedDownload, ReadBackDifferenceEndsAfterOneAttempt) {
    m_settings.runMode = orvane::kRunModeWriteOnly;
    ASSERT_EQ(RunOnDevice().exitStatus, 0);
    // The device's copy of the image changes at its end without changing its CRC16.
    wire::ChangeKeepingCrc16(&m_device.Memory()[kImageAddress + ExpectedImage().size() - 3], 0x01);

    m_settings.runMode = orvane::kRunModeVerifyOnly;
    m_settings.verifyMethod = orvane::kVerifyMethodFull;
    const RunResult result = RunOnDevice();

    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_TRUE(InOrder(result.output, {"\nVerify Downloaded Data (CRC16). ec = 0",
                                        "\nVerify Downloaded Data (FULL). ec = 5011"}));
    EXPECT_TRUE(EndsWith(result.output,
                         "\nERROR: Uploaded Application Image is corrupted." + kDownloadFailed));
    EXPECT_EQ(CountOf(result.output, "\nOpen communication channel"), 1);
    EXPECT_TRUE(SleepRecorder::Pauses().empty());
    EXPECT_TRUE(Ends(Ending(), {3, QEL_FAILURE_WRONG_IMAGE, 5011, 1}));
}

// A download over the simulator's line with its faults. The image has two pages: the requests of
// an attempt are 1 the cleared header, 2 the data page, 3 the header, 4 the CRC16, 5 the reset and
// 6 the first clock read of the blind mode's device check.
struct LineFaultCase {
    const char* name;
    int runMode;
    int retries;
    void (*fault)(qelsim::TransportFaults& line, qelsim::DeviceOptions& device);
    struct Counts {
        int attempts;     // the attempts the download takes
        int retries;      // requests sent again in place
        int reconnects;   // the device check's reconnects
        int clears;       // header pages cleared: one, unless an attempt had to write again
        int minuteWaits;  // the device check's waits
    } expected;
};

void PrintTo(const LineFaultCase& c, std::ostream* out) {
    *out << c.name;
}

class LineFaultDownload : public SimulatedDownload,
                          public testing::WithParamInterface<LineFaultCase> {};

TEST_P(LineFaultDownload, EndsWithTheExactImageInBoundedAttempts) {
    const LineFaultCase& c = GetParam();
    qelsim::TransportFaults line;
    c.fault(line, m_device.Options());
    SimLinkChannel channel(m_device, line);
    m_settings.runMode = c.runMode;
    m_settings.exchangeRetries = c.retries;
    m_settings.maxAttempts = 4;  // a line that never comes back in step fails the test
    const RunResult result = Run(&channel);

    EXPECT_EQ(result.exitStatus, 0) << result.output;
    EXPECT_TRUE(EndsWith(result.output, kDownloaded));
    EXPECT_EQ(DeviceImage(), ExpectedImage());
    EXPECT_EQ(m_device.LastBootVerdict(), "boot ok");
    const LineFaultCase::Counts& expected = c.expected;
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, expected.attempts}));
    EXPECT_EQ(m_events.OfKind(QEL_EVENT_RETRY).size(), static_cast<std::size_t>(expected.retries));
    EXPECT_EQ(CountOf(result.output, "\nWARNING: No valid reply"), expected.retries);
    EXPECT_EQ(CountOf(result.output, "\nReconnecting ..."), expected.reconnects);
    EXPECT_EQ(CountOf(result.output, "\nClear Header Page."), expected.clears);
    EXPECT_EQ(CountOf(result.output, "\nWait 1 minute"), expected.minuteWaits);
}

constexpr int kBlind = orvane::kRunModeBlind;
constexpr int kAll = orvane::kRunModeAll;

using qelsim::DeviceOptions;
using qelsim::TransportFaults;

// The faults, each on the second request (the data page) unless named otherwise.
struct Fault {
    static void Late(TransportFaults& l, DeviceOptions&) { l.lateReplies = {2}; }
    static void Stray(TransportFaults& l, DeviceOptions&) { l.strayAfter = {2}; }
    static void Twice(TransportFaults& l, DeviceOptions&) { l.duplicateReplies = {2}; }
    static void SlowFirstClockRead(TransportFaults& l, DeviceOptions&) {
        l.slowReplies = {{6, 6000}};
    }
    static void CloseOnReset(TransportFaults& l, DeviceOptions&) { l.closeOnReset = true; }
    static void CloseOnResetAndBootSlowly(TransportFaults& l, DeviceOptions& d) {
        l.closeOnReset = true;
        d.silentRequestsAfterReset = 1;
    }
    static void Drop(TransportFaults&, DeviceOptions& d) { d.dropReplies = {2}; }
    static void DropTwoInARow(TransportFaults&, DeviceOptions& d) { d.dropReplies = {2, 3}; }
    static void Corrupt(TransportFaults&, DeviceOptions& d) { d.corruptReplies = {2}; }
    static void WrongId(TransportFaults&, DeviceOptions& d) { d.wrongIdReplies = {2}; }
};

// Blind mode: the failed step is passed over, the line comes back in step by itself, and the next
// attempt finds the verified image and only resets the device; the device check reconnects at
// once to a device that closed the connection, and after the minute to one that stayed silent. With
// retries: one attempt. Without them a lost reply costs the attempt, as it always has.
INSTANTIATE_TEST_SUITE_P(
    Faults, LineFaultDownload,
    testing::Values(
        LineFaultCase{"BlindLateReply", kBlind, 0, &Fault::Late, {2, 0, 0, 1, 0}},
        LineFaultCase{"BlindStrayCharacter", kBlind, 0, &Fault::Stray, {2, 0, 0, 1, 0}},
        LineFaultCase{"BlindDuplicateReply", kBlind, 0, &Fault::Twice, {2, 0, 0, 1, 0}},
        LineFaultCase{
            "BlindSlowClockReply", kBlind, 0, &Fault::SlowFirstClockRead, {1, 0, 1, 1, 1}},
        LineFaultCase{"BlindCloseOnReset", kBlind, 0, &Fault::CloseOnReset, {1, 0, 1, 1, 0}},
        LineFaultCase{
            "BlindClosedThenSilent", kBlind, 0, &Fault::CloseOnResetAndBootSlowly, {1, 0, 2, 1, 1}},
        LineFaultCase{"RetryLostReply", kAll, 3, &Fault::Drop, {1, 1, 0, 1, 0}},
        LineFaultCase{"RetryCorruptedReply", kAll, 3, &Fault::Corrupt, {1, 1, 0, 1, 0}},
        LineFaultCase{"RetryWrongIdReply", kAll, 3, &Fault::WrongId, {1, 1, 0, 1, 0}},
        LineFaultCase{"RetryLateReply", kAll, 3, &Fault::Late, {1, 1, 0, 1, 0}},
        LineFaultCase{"RetryStrayCharacter", kAll, 3, &Fault::Stray, {1, 1, 0, 1, 0}},
        LineFaultCase{"RetryInBlindMode", kBlind, 3, &Fault::DropTwoInARow, {1, 2, 0, 1, 0}},
        LineFaultCase{"NoRetriesLostReply", kAll, 0, &Fault::Drop, {2, 0, 0, 2, 0}}),
    CaseName());

TEST_F(SimulatedDownload, RetriesDoNotSendAgainWhatTheDeviceRefused) {
    m_device.Options().failStatusRequests = {2};
    SimLinkChannel channel(m_device, {});
    m_settings.exchangeRetries = 3;
    const RunResult result = Run(&channel);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(m_events.OfKind(QEL_EVENT_RETRY).empty());
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 2}));
}

TEST_F(SimulatedDownload, RetriesGiveUpAfterTheirNumberAndTheAttemptFails) {
    m_device.Options().dropReplies = {2, 3, 4};
    SimLinkChannel channel(m_device, {});
    m_settings.exchangeRetries = 2;
    const RunResult result = Run(&channel);
    EXPECT_EQ(result.exitStatus, 0);
    const auto retries = m_events.OfKind(QEL_EVENT_RETRY);
    ASSERT_EQ(retries.size(), 2u);
    EXPECT_EQ(retries[0].event.code, SimLinkChannel::kTimeoutCode);
    EXPECT_EQ(retries[0].event.command, 0x18);
    EXPECT_EQ(retries[1].event.attempt, 2);
    EXPECT_TRUE(InOrder(result.output,
                        {"\nWARNING: No valid reply (ec=5021). Sending the request again (retry 1 "
                         "of 2).",
                         "(retry 2 of 2).", "\nWrite Page. ec = 5021",
                         "\nWARNING: Sending data failed. ec=5021", kDownloaded}));
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 2}));
}

// On a line of known speed the wait for a lost reply is what the line and the device need.
TEST_F(SimulatedDownload, RetriesWaitForALostReplyAsLongAsTheLineNeeds) {
    m_device.Options().dropReplies = {2};
    SimLinkChannel channel(m_device, {}, 1000, 11520);
    m_settings.exchangeRetries = 1;
    const RunResult result = Run(&channel);
    EXPECT_EQ(result.exitStatus, 0);
    // A page request (541 characters) and its reply (15) take 49 ms at 115200 baud; the device
    // is given 100 ms more.
    EXPECT_EQ(channel.Elapsed(), std::chrono::milliseconds(149));
    // The first answer to each command (the reset's only one) is waited for in full.
    EXPECT_EQ(channel.ShortestTimeoutMs(), 149);
    EXPECT_EQ(channel.ReadTimeout(), 1000);
}

// A device that takes longer to answer than the line and the floor allow is still served: a wait
// that runs out doubles the next one, and the late reply is passed over.
TEST_F(SimulatedDownload, RetriesServeADeviceSlowerThanTheLine) {
    qelsim::TransportFaults faults;
    faults.replyDelayMs = 149;
    SimLinkChannel channel(m_device, faults, 1000, 11520);
    m_settings.exchangeRetries = 1;
    const RunResult result = Run(&channel);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 1}));
    EXPECT_EQ(DeviceImage(), ExpectedImage());
}

// Stops the download it watches once the data pages have begun, as a station's stop button would.
class CancellingSink : public qel::EventSink {
  public:
    void OnEvent(const qel_event& event) override {
        if (event.kind == QEL_EVENT_PROGRESS && event.phase == QEL_PHASE_WRITE) {
            cancel = true;
        }
        events.OnEvent(event);
    }
    std::atomic<bool> cancel{false};
    EventRecorder events;
};

TEST_F(SimulatedDownload, ACancelFlagSetByTheSinkEndsTheDownloadAtTheNextStep) {
    _serial_open_params params{7, 1000};
    qel::DownloadChannel device;
    device.channel = &m_channel;
    device.openRecord = &params;
    CancellingSink sink;
    testing::internal::CaptureStdout();
    const qel::DownloadResult result =
        qel::DownloadFile(m_settings.filePath, device, m_settings, sink, &sink.cancel);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(result.failure, QEL_FAILURE_CANCELLED);
    EXPECT_EQ(result.code, qel::kErrCancelled);
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(result.attempts, 1);
    // The first data page was the last request; nothing is written after it and nothing retried.
    ASSERT_FALSE(m_device.Requests().empty());
    EXPECT_EQ(m_device.Requests().back().command, 0x18);
    EXPECT_EQ(m_device.Requests().back().address, 0x40100u);
    EXPECT_TRUE(SleepRecorder::Pauses().empty());
    EXPECT_EQ(m_channel.Closes(), 2);
    EXPECT_EQ(sink.events.Events().back().event.kind, QEL_EVENT_RESULT);
    EXPECT_EQ(sink.events.Events().back().text, kDownloadFailed);
}

}  // namespace
}  // namespace orvane_test
