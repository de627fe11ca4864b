// Station runs in-process: several simulated devices, each on a channel of its own, downloading
// in threads; faulty ones among them; the output's prefixes, the summary, the log files and the
// bound on the threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device_model.h"
#include "expected_image.h"
#include "intel_hex_text.h"
#include "output_checks.h"
#include "progress_block.h"
#include "run_capture.h"
#include "sim_channel.h"
#include "sleep_recorder.h"
#include "station_output.h"
#include "temp_dir.h"
#include "test_channels.h"

namespace orvane_test {
namespace {

// A log file as a reader of text sees it: Windows writes its line ends as CR LF.
std::string LogText(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using namespace std::chrono_literals;

constexpr std::uint32_t kImageAddress = 0x40000;
constexpr int kRefused = 5020;

// How many devices have a channel at once, the most that ever had, and how many are done. The
// channel's deleter is a plain function, so the gauge is one for the test program.
struct Gauge {
    std::mutex mutex;
    std::condition_variable changed;
    int active = 0;
    int peak = 0;
    int finished = 0;

    void Reset() {
        const std::lock_guard<std::mutex> lock(mutex);
        active = peak = finished = 0;
    }
    void Enter() {
        const std::lock_guard<std::mutex> lock(mutex);
        peak = std::max(peak, ++active);
    }
    static void Leave(ICommChannel*) {
        Gauge& gauge = Instance();
        {
            const std::lock_guard<std::mutex> lock(gauge.mutex);
            --gauge.active;
            ++gauge.finished;
        }
        gauge.changed.notify_all();
    }
    // True when at least count devices finished within the limit.
    bool AwaitFinished(int count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [&] { return finished >= count; });
    }
    static Gauge& Instance() {
        static Gauge gauge;
        return gauge;
    }
};

// A simulated device whose channel opens only when the other devices have all finished (or after
// 10 s, refused): a device that hangs, which a station must not wait for with the others.
class HangingChannel : public SimChannel {
  public:
    HangingChannel(qelsim::DeviceModel& device, int others)
        : SimChannel(device), m_others(others) {}
    int Open(void* params) override {
        if (!Gauge::Instance().AwaitFinished(m_others, 10s)) {
            return kRefused;
        }
        return SimChannel::Open(params);
    }

  private:
    int m_others;
};

struct Device {
    qelsim::DeviceModel model;
    // Shared so that each kind of test channel is destroyed through its own class: the channel
    // interface has no virtual destructor.
    std::shared_ptr<ICommChannel> channel;
};

class Station : public testing::Test {
  protected:
    Station() {
        Gauge::Instance().Reset();
        std::vector<std::uint8_t> data(700);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(i * 13 + 5);
        }
        m_file = m_files.Write("app.hex", IntelHexFile(0x3000, data));
    }

    // A device at 127.0.0.1:port served by the simulator's model.
    qelsim::DeviceModel& AddDevice(int port) {
        Device& device = *m_devices.emplace(port, std::make_unique<Device>()).first->second;
        device.channel = std::make_shared<SimChannel>(device.model);
        return device.model;
    }
    void AddUnreachable(int port) {
        m_devices.emplace(port, std::make_unique<Device>());
        m_devices[port]->channel =
            std::make_shared<OpeningFakeChannel>(cli::ChannelKind::kTcp, 1 << 30, kRefused);
    }
    void AddHanging(int port, int others) {
        Device& device = *m_devices.emplace(port, std::make_unique<Device>()).first->second;
        device.channel = std::make_shared<HangingChannel>(device.model, others);
    }

    // Orvane over TCP with one /i=127.0.0.1:PORT a device, then extra.
    RunResult Run(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments{"/c=tcp", "/f=" + m_file};
        for (const auto& [port, device] : m_devices) {
            arguments.push_back("/i=127.0.0.1:" + std::to_string(port));
        }
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        orvane::DownloadServices services = orvane::RealServices();
        services.makeChannel = [this](const cli::ChannelSettings& settings) {
            Gauge::Instance().Enter();
            return cli::OwnedChannel(m_devices.at(settings.port)->channel.get(), &Gauge::Leave);
        };
        return RunProgram(arguments, services);
    }

    void ExpectImageIn(const qelsim::DeviceModel& device) const {
        const auto firmware = expected::ReadHex(m_file);
        ASSERT_TRUE(firmware.has_value());
        const auto image = expected::ApplicationImage(*firmware);
        const auto& memory = device.Memory();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin() + kImageAddress))
            << "the device does not hold the application image";
    }

    static std::string Prefix(int port) { return "[127.0.0.1:" + std::to_string(port) + "] "; }

    // The lines of one device without its prefix, in order.
    static std::vector<std::string> LinesOfDevice(const std::string& output, int port) {
        std::vector<std::string> lines;
        for (const std::string& line : orvane::LinesOf(output)) {
            if (line.rfind(Prefix(port), 0) == 0) {
                lines.push_back(line.substr(Prefix(port).size()));
            }
        }
        return lines;
    }

    // The lines of the file's loading and preparation: after the banner, before the devices'.
    static std::vector<std::string> PreparationLines(const std::string& output) {
        const auto lines = orvane::LinesOf(output);
        const auto firstOfDevice = std::find_if(
            lines.begin(), lines.end(), [](const std::string& line) { return line[0] == '['; });
        return {lines.begin() + 1, firstOfDevice};
    }

    // From the first device's line to the summary, every line is a device's, whole.
    testing::AssertionResult EveryDeviceLinePrefixed(const std::string& output) const {
        const auto lines = orvane::LinesOf(output);
        auto line =
            lines.begin() + 1 + static_cast<std::ptrdiff_t>(PreparationLines(output).size());
        for (; line != lines.end() && *line != "Summary:"; ++line) {
            bool known = false;
            for (const auto& [port, device] : m_devices) {
                known = known || line->rfind(Prefix(port), 0) == 0;
            }
            if (!known) {
                return testing::AssertionFailure() << "a line of no device: [" << *line << "]";
            }
        }
        if (line == lines.end()) {
            return testing::AssertionFailure() << "no summary in " << output;
        }
        return testing::AssertionSuccess();
    }

    SleepRecorder m_sleeps;
    TempDir m_files;
    std::string m_file;
    std::map<int, std::unique_ptr<Device>> m_devices;
};

TEST_F(Station, EveryDeviceGetsTheImageAndItsOwnPrefixedLines) {
    qelsim::DeviceModel& first = AddDevice(5001);
    qelsim::DeviceModel& second = AddDevice(5002);
    qelsim::DeviceModel& third = AddDevice(5003);
    const RunResult result = Run();

    EXPECT_EQ(result.exitStatus, 0);
    ExpectImageIn(first);
    ExpectImageIn(second);
    ExpectImageIn(third);
    EXPECT_TRUE(EveryDeviceLinePrefixed(result.output));
    EXPECT_EQ(CountOf(result.output, "\nLoading HEX file..."), 1) << "the file loads once";
    for (int port : {5001, 5002, 5003}) {
        const auto lines = LinesOfDevice(result.output, port);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[0], "Open communication channel (attempt #1)...");
        EXPECT_EQ(lines[1], "Connecting 127.0.0.1:" + std::to_string(port) + "...");
        EXPECT_EQ(lines.back(), "File downloaded successfully.");
    }
    EXPECT_TRUE(InOrder(result.output, {"\n\nSummary:\ndevice          result  code  meaning",
                                        "\n127.0.0.1:5001  ok      0     success  1",
                                        "\n127.0.0.1:5003  ok      0     success  1",
                                        "\n0 of 3 devices failed.\n"}));
    EXPECT_TRUE(EndsWith(result.output, "\n0 of 3 devices failed.\n"));
}

TEST_F(Station, FaultyDevicesAreNamedWithTheirCodesAndTheWorstStatusIsTheExitStatus) {
    qelsim::DeviceModel& good = AddDevice(5001);
    AddUnreachable(5002);
    AddDevice(5003).Options().lieAboutCrc16 = true;
    qelsim::DeviceModel& alsoGood = AddDevice(5004);
    const RunResult result = Run();

    EXPECT_EQ(result.exitStatus, 3);
    ExpectImageIn(good);
    ExpectImageIn(alsoGood);
    EXPECT_TRUE(EveryDeviceLinePrefixed(result.output));
    EXPECT_EQ(LinesOfDevice(result.output, 5002).back(),
              "ERROR: Cannot download firmware to remote device.");
    EXPECT_EQ(CountOf(result.output, Prefix(5002) + "Open communication channel"), 100);
    EXPECT_TRUE(InOrder(result.output, {"\n\nSummary:", "\n127.0.0.1:5001  ok  ",
                                        "\n127.0.0.1:5002  unreachable  5020",
                                        "\n127.0.0.1:5003  wrong_image  5008",
                                        "\n127.0.0.1:5004  ok  ", "\n2 of 4 devices failed.\n"}));
}

TEST_F(Station, QuietPrintsEachDevicesErrorsAndFinalLineThenTheSummary) {
    AddDevice(5001);
    AddUnreachable(5002);
    AddDevice(5003).Options().lieAboutCrc16 = true;
    const RunResult result = Run({"/q", "/a=2"});

    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.output.rfind("\n[127.0.0.1:500", 0), 0u) << "no banner, no loading";
    const std::string refused = "ERROR: Cannot open communication channel. ec=5020";
    const std::string gaveUp = "ERROR: Cannot download firmware to remote device.";
    EXPECT_EQ(LinesOfDevice(result.output, 5001),
              std::vector<std::string>{"File downloaded successfully."});
    EXPECT_EQ(LinesOfDevice(result.output, 5002),
              (std::vector<std::string>{refused, refused, gaveUp}));
    EXPECT_EQ(LinesOfDevice(result.output, 5003),
              (std::vector<std::string>{"ERROR: CRC16 of uploaded Application Image is incorrect.",
                                        gaveUp}));
    EXPECT_TRUE(InOrder(result.output, {"\n\nSummary:", "\n127.0.0.1:5002  unreachable  5020",
                                        "\n127.0.0.1:5003  wrong_image  5008"}));
    EXPECT_TRUE(EndsWith(result.output, "\n2 of 3 devices failed.\n"));
}

// Under the thread sanitizer this checks the block's locking; on the screen every device line
// stays whole and every line of the block is erased in the end.
TEST_F(Station, TheProgressBlockAndTheDeviceLinesShareTheScreenFromManyThreads) {
    const std::string path = m_files.Path("screen");
    std::FILE* screen = std::fopen(path.c_str(), "w+b");
    ASSERT_NE(screen, nullptr);
    const std::vector<std::string> names{"a", "b", "c", "d"};
    constexpr int kPages = 50;
    {
        cli::LineWriter writer(screen);
        std::atomic<long> now{0};
        cli::ProgressBlock block(names, screen, {24, 80}, writer,
                                 [&now] { return std::chrono::milliseconds(now += 30); });
        std::vector<std::jthread> devices;
        for (std::size_t device = 0; device < names.size(); ++device) {
            devices.emplace_back([&, device] {
                qel_event progress = qel::MakeEvent(QEL_EVENT_PROGRESS);
                progress.phase = QEL_PHASE_WRITE;
                progress.pages_total = kPages;
                for (progress.pages_done = 1; progress.pages_done <= kPages;
                     ++progress.pages_done) {
                    block.OnEvent(device, progress);
                    writer.Write("\n[" + names[device] + "] Write Page. ec = 0");
                }
            });
        }
    }
    std::fclose(screen);
    const std::string shown = LogText(path);
    for (const std::string& name : names) {
        EXPECT_EQ(CountOf(shown, "\n[" + name + "] Write Page. ec = 0"), kPages);
    }
    EXPECT_EQ(CountOf(shown, "\n") - kPages * static_cast<int>(names.size()),
              CountOf(shown, "\x1b[1A"));
}

TEST_F(Station, UnreachableAloneGivesExitTwo) {
    AddDevice(5001);
    AddUnreachable(5002);
    EXPECT_EQ(Run({"/j=1"}).exitStatus, 2);
}

TEST_F(Station, NoMoreDevicesThanThreadsAtOnce) {
    for (int port = 5001; port <= 5006; ++port) {
        AddDevice(port);
    }
    const RunResult result = Run({"/J=2"});

    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(Gauge::Instance().finished, 6);
    EXPECT_LE(Gauge::Instance().peak, 2);
    EXPECT_TRUE(EveryDeviceLinePrefixed(result.output));
}

TEST_F(Station, JsonLinesNameTheirDeviceAndASummaryEndsThem) {
    AddDevice(5001);
    AddDevice(5002).Options().lieAboutCrc16 = true;
    const RunResult result = Run({"/json"});

    EXPECT_EQ(result.exitStatus, 3);
    const auto lines = orvane::LinesOf(result.output);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front().rfind("{\"event\":\"start\"", 0), 0u) << lines.front();
    EXPECT_EQ(lines.back(), "{\"event\":\"summary\",\"devices\":2,\"failed\":1,\"exit_status\":3}");
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        EXPECT_NE(lines[i].find("\"device\":\"127.0.0.1:500"), std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].front(), '{');
        EXPECT_EQ(lines[i].back(), '}');
    }
    EXPECT_EQ(
        CountOf(result.output, "{\"event\":\"result\",\"device\":\"127.0.0.1:5001\",\"ok\":true"),
        1);
    EXPECT_EQ(
        CountOf(result.output,
                "{\"event\":\"result\",\"device\":\"127.0.0.1:5002\",\"ok\":false,\"code\":5008"),
        1);
}

// With one thread the hanging device would wait 10 s for the others and then fail.
TEST_F(Station, AHangingDeviceHoldsUpNoOther) {
    AddHanging(5001, 2);
    qelsim::DeviceModel& second = AddDevice(5002);
    qelsim::DeviceModel& third = AddDevice(5003);
    const RunResult result = Run({"/j=2"});

    EXPECT_EQ(result.exitStatus, 0);
    ExpectImageIn(second);
    ExpectImageIn(third);
    ExpectImageIn(m_devices.at(5001)->model);
}

TEST_F(Station, LogFilesHoldEachDevicesOutputUnprefixed) {
    AddDevice(5001);
    AddDevice(5002).Options().lieAboutCrc16 = true;
    const std::string folder = m_files.Path("logs/today");
    const RunResult result = Run({"/log=" + folder});

    EXPECT_EQ(result.exitStatus, 3);
    const auto preparation = PreparationLines(result.output);
    ASSERT_EQ(preparation.front(), "Loading HEX file...");
    for (int port : {5001, 5002}) {
        const std::string log = LogText(folder + "/127.0.0.1_" + std::to_string(port) + ".log");
        // The log holds the preparation, then the device's lines as the screen shows them.
        auto expected = preparation;
        const auto shown = LinesOfDevice(result.output, port);
        expected.insert(expected.end(), shown.begin(), shown.end());
        EXPECT_EQ(orvane::LinesOf(log), expected);
    }
    EXPECT_TRUE(
        EndsWith(LogText(folder + "/127.0.0.1_5001.log"), "\nFile downloaded successfully.\n"));
}

TEST_F(Station, ALogFolderThatCannotBeMadeEndsTheRunBeforeAnyDevice) {
    AddDevice(5001);
    AddDevice(5002);
    const std::string blocker = m_files.Write("taken", "a file, not a folder");
    const RunResult result = Run({"/log=" + blocker + "/logs"});

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(InOrder(result.output, {"\nERROR: Cannot create log folder [" + blocker}));
    EXPECT_EQ(CountOf(result.output, "Loading HEX file"), 0);
    EXPECT_EQ(Gauge::Instance().finished, 0);
}

}  // namespace
}  // namespace orvane_test
