#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "output_checks.h"
#include "qel_download.h"
#include "qel_sleep.h"
#include "test_channels.h"
#include "wire_text.h"

namespace orvane_test {
namespace {

using cli::ChannelKind;
using Kind = FakeChannel::Call::Kind;

const std::string kDownloadFailed = "\nERROR: Cannot download firmware to remote device.";
const std::string kDownloaded = "\nFile downloaded successfully.";
const std::string kOpenLine = "\nOpen communication channel (attempt #";

TEST_F(DriverTest, DeviceThatNeverAnswersGetsOneHundredAttemptsAndExitsTwo) {
    OpeningFakeChannel channel(ChannelKind::kSerial);
    const RunResult result = Run(&channel);

    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(CountOf(result.output, kOpenLine), 100);
    EXPECT_EQ(CountOf(result.output, "\nWARNING: Sending data failed. ec=5021"), 100);
    EXPECT_TRUE(InOrder(result.output, {"(attempt #100)...", "\nConnecting COM7 ...",
                                        "\nTransmitte Data. Attempt #100."}));
    EXPECT_TRUE(EndsWith(result.output, kDownloadFailed));
    EXPECT_EQ(CountOf(result.output, kDownloadFailed), 1);
    EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>(100, 5000));
    // Closed after each failed transmission and once more after the loop.
    EXPECT_EQ(channel.CountOf(Kind::kClose), 101);
    EXPECT_EQ(channel.Calls().back().kind, Kind::kClose);
    EXPECT_TRUE(Ends(Ending(), {2, QEL_FAILURE_EXCHANGE, 5021, 100}));
}

TEST_F(DriverTest, FailedOpensCountAsAttemptsButNotAsTransmissions) {
    OpeningFakeChannel channel(ChannelKind::kSerial, 3, 2143);
    const RunResult result = Run(&channel);

    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(CountOf(result.output, "\nERROR: Cannot open communication channel. ec=2143"), 3);
    EXPECT_TRUE(
        InOrder(result.output, {"(attempt #3)...", "ec=2143", "(attempt #4)...",
                                "\nConnecting COM7 ...", "\nDone.\nTransmitte Data. Attempt #1.",
                                "(attempt #100)...", "\nTransmitte Data. Attempt #97."}));
    EXPECT_EQ(CountOf(result.output, "\nTransmitte Data. Attempt #98."), 0);
    EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>(100, 5000));
    // A failed open is retried without a close in between.
    EXPECT_EQ(channel.CountOf(Kind::kOpen), 100);
    EXPECT_EQ(channel.CountOf(Kind::kClose), 98);
    EXPECT_TRUE(Ends(Ending(), {2, QEL_FAILURE_EXCHANGE, 5021, 100}));
    // Each open reports its result before its line.
    const auto opens = m_events.OfKind(QEL_EVENT_OPEN);
    ASSERT_EQ(opens.size(), 100u);
    EXPECT_EQ(opens[2].event.code, 2143);
    EXPECT_EQ(opens[3].event.code, 0);
    EXPECT_EQ(opens[3].event.attempt, 4);
}

TEST_F(DriverTest, GivenAttemptsEndWithoutAPauseAfterTheLast) {
    m_settings.maxAttempts = 3;
    m_settings.pauseMs = 250;
    OpeningFakeChannel channel(ChannelKind::kSerial, 3, 3002);
    const RunResult result = Run(&channel);

    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_EQ(CountOf(result.output, kOpenLine), 3);
    EXPECT_TRUE(EndsWith(result.output, kDownloadFailed));
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{250, 250}));
    EXPECT_TRUE(Ends(Ending(), {2, QEL_FAILURE_UNREACHABLE, 3002, 3}));
    EXPECT_EQ(m_events.Events().back().text, kDownloadFailed);
}

// The image of the fixture starts at 0x3000, the lowest address a download may start at.
TEST_F(DriverTest, SerialDownloadOpensWithPortAndOneSecondTimeout) {
    m_settings.runMode = orvane::kRunModeResetOnly;
    OpeningFakeChannel channel(ChannelKind::kSerial);
    channel.QueueReply(wire::StatusReply(0x0A, 2));
    const RunResult result = Run(&channel);

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_TRUE(InOrder(result.output,
                        {"\nLoading HEX file...", "\nDone.", "\nPrepare data buffer...", "\nDone.",
                         "\nOpen communication channel (attempt #1)...\nConnecting COM7 ...",
                         "\nDone.\nTransmitte Data. Attempt #1."}));
    EXPECT_TRUE(EndsWith(result.output, kDownloaded));
    EXPECT_EQ(CountOf(result.output, "First Address"), 0);
    EXPECT_EQ(channel.serialParams.port, 7);
    EXPECT_EQ(channel.serialParams.timeout, 1000);
    EXPECT_EQ(channel.CountOf(Kind::kOpen), 1);
    EXPECT_EQ(channel.CountOf(Kind::kClose), 1);
    EXPECT_TRUE(SleepRecorder::Pauses().empty());
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 1}));
}

int g_socketStarts = 0;
unsigned short g_socketVersion = 0;
int g_socketStartResult = 0;

int RecordSocketStart(unsigned short version, WSADATA*) {
    ++g_socketStarts;
    g_socketVersion = version;
    return g_socketStartResult;
}

class SocketStartTest : public DriverTest {
  protected:
    SocketStartTest() {
        g_socketStarts = 0;
        g_socketVersion = 0;
        g_socketStartResult = 0;
        m_settings.runMode = orvane::kRunModeResetOnly;
        m_channel.QueueReply(wire::StatusReply(0x0A, 2));
    }
    RunResult RunRecordingSocketStart() {
        orvane::DownloadServices services = ServicesLending(&m_channel);
        services.startSocketLibrary = &RecordSocketStart;
        return Run(services);
    }
    OpeningFakeChannel m_channel{ChannelKind::kTcp};
};

TEST_F(SocketStartTest, TcpStartsSocketsAndOpensWithAddressPortAndFiveSecondTimeout) {
    UseTcp("127.0.0.1", 5000);
    const RunResult result = RunRecordingSocketStart();

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(g_socketStarts, 1);
    EXPECT_EQ(g_socketVersion, 0x0202);
    EXPECT_TRUE(InOrder(result.output, {"\nOpen communication channel (attempt #1)...",
                                        "\nConnecting 127.0.0.1:5000...", kDownloaded}));
    EXPECT_EQ(m_channel.socketParams.port, 5000);
    EXPECT_EQ(m_channel.socketParams.timeout, 5000);
    EXPECT_STREQ(m_channel.socketParams.address, "127.0.0.1");
    EXPECT_TRUE(Ends(Ending(), {0, QEL_FAILURE_NONE, 0, 1}));
}

TEST_F(SocketStartTest, SocketLibraryThatDoesNotStartEndsBeforeAnyOpen) {
    UseTcp("127.0.0.1", 5000);
    g_socketStartResult = 10091;
    const RunResult result = RunRecordingSocketStart();

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(EndsWith(result.output, "\nDone.WSA DLL was not found. Exit"));
    EXPECT_EQ(m_channel.CountOf(Kind::kOpen), 0);
    EXPECT_TRUE(Ends(Ending(), {1, QEL_FAILURE_SETUP, 5014, 0}));
}

TEST_F(DriverTest, ChannelThatCannotBeMadeEndsAtOnce) {
    const RunResult result = Run(nullptr);
    EXPECT_EQ(result.output, "\nERROR: Cannot create specified communication channel.");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(Ends(Ending(), {1, QEL_FAILURE_SETUP, 0, 0}));
}

TEST_F(DriverTest, UnreadableHexFileEndsBeforeAnyOpen) {
    m_settings.filePath = m_files.Path("missing.hex");
    OpeningFakeChannel channel(ChannelKind::kSerial);
    const RunResult result = Run(&channel);

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.output.rfind("\nLoading HEX file...", 0), 0u);
    EXPECT_TRUE(EndsWith(result.output, "\nERROR: Cannot read HEX file."));
    EXPECT_TRUE(channel.Calls().empty());
    EXPECT_TRUE(Ends(Ending(), {1, QEL_FAILURE_FILE, 2103, 0}));
}

TEST_F(DriverTest, ImageBelowTheLoaderIsRefusedAfterLoading) {
    m_settings.filePath = m_files.Write("low.hex", IntelHexFile(0x2FFF, {0x01, 0x02}));
    OpeningFakeChannel channel(ChannelKind::kSerial);
    const RunResult result = Run(&channel);

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(EndsWith(result.output,
                         "\nDone.\nFirst Address in HEX file is: 0x2fff."
                         "\nThe HEX is not suitable for remote downloading. Exit.\n"));
    EXPECT_EQ(CountOf(result.output, "\nPrepare data buffer..."), 0);
    EXPECT_TRUE(channel.Calls().empty());
    EXPECT_TRUE(Ends(Ending(), {1, QEL_FAILURE_FILE, 5032, 0}));
}

// A loader that reports a range holding no data, which no image can be built from.
int LoadEmptyRange(const char*, char** image, int* first, int* end) {
    *image = new char[0x80000];
    std::memset(*image, 0xFF, 0x80000);
    *first = 0x4000;
    *end = 0x4000;
    return 0;
}

TEST_F(DriverTest, ImageThatCannotBePreparedEndsBeforeAnyOpen) {
    OpeningFakeChannel channel(ChannelKind::kSerial);
    orvane::DownloadServices services = ServicesLending(&channel);
    services.loadImage = &LoadEmptyRange;
    const RunResult result = Run(services);

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(InOrder(result.output,
                        {"\nPrepare data buffer...", "\nERROR: Cannot prepare data buffer."}));
    EXPECT_TRUE(EndsWith(result.output, "\nERROR: Cannot prepare data buffer."));
    EXPECT_TRUE(channel.Calls().empty());
    EXPECT_TRUE(Ends(Ending(), {1, QEL_FAILURE_FILE, 5028, 0}));
}

TEST_F(DriverTest, ACancelDuringThePauseEndsTheDownloadWithinASlice) {
    static std::atomic<bool> cancel{false};
    static std::vector<unsigned long> slices;
    cancel = false;
    slices.clear();
    const qel::SleepFunction recorder = qel::SetSleepFunction([](unsigned long milliseconds) {
        slices.push_back(milliseconds);
        cancel = slices.size() == 3;  // the stop button, a third into the pause
    });
    OpeningFakeChannel channel(ChannelKind::kSerial, 1 << 30, 2143);
    _serial_open_params params{7, 1000};
    qel::DownloadChannel device;
    device.channel = &channel;
    device.openRecord = &params;
    const qel::DownloadResult result =
        qel::DownloadFile(m_settings.filePath, device, {}, m_events, &cancel);
    qel::SetSleepFunction(recorder);

    EXPECT_EQ(slices, (std::vector<unsigned long>{100, 100, 100}));
    EXPECT_EQ(result.failure, QEL_FAILURE_CANCELLED);
    EXPECT_EQ(result.attempts, 1);
}

TEST(MaxAttempts, BlindModeTriesPracticallyForever) {
    qel::DownloadSettings settings;
    settings.runMode = qel::kRunModeBlind;
    EXPECT_EQ(qel::MaxAttemptsOf(settings), 2147483647);
    for (int mode : {1, 2, 3, 4}) {
        settings.runMode = mode;
        EXPECT_EQ(qel::MaxAttemptsOf(settings), 100) << "run mode " << mode;
    }
    // A number given is the number, in blind mode too.
    settings.maxAttempts = 3;
    EXPECT_EQ(qel::MaxAttemptsOf(settings), 3);
}

}  // namespace
}  // namespace orvane_test
