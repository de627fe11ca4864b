#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "case_name.h"
#include "device_model.h"
#include "event_recorder.h"
#include "expected_image.h"
#include "fake_channel.h"
#include "output_checks.h"
#include "protocol_access.h"
#include "sim_channel.h"
#include "sleep_recorder.h"
#include "trace_recorder.h"
#include "wire_text.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr std::uint32_t kFirst = 0x3000;

// 500 bytes of firmware: an application image of three pages, two of them data pages.
expected::Firmware SmallFirmware(std::uint32_t length = 500) {
    expected::Firmware firmware;
    for (std::uint32_t i = 0; i < length; ++i) {
        firmware.image[kFirst + i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    firmware.first = kFirst;
    firmware.end = kFirst + length;
    return firmware;
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

// A device model on an in-process channel and a protocol object with a prepared image.
struct Rig {
    explicit Rig(int verifyMethod, int runMode, std::uint32_t length = 500, HWND window = nullptr)
        : firmware(SmallFirmware(length)),
          image(expected::ApplicationImage(firmware)),
          protocol(&channel, verifyMethod, runMode, window),
          access(protocol) {
        CaptureStdout();
        const int prepared = protocol.PrepareDataBuffer(
            reinterpret_cast<char*>(firmware.image.data()), static_cast<int>(firmware.first),
            static_cast<int>(firmware.end));
        GetCapturedStdout();
        EXPECT_EQ(prepared, 0);
    }

    // The device already holds the image, as after an earlier download.
    void Preload() { std::copy(image.begin(), image.end(), device.Memory().begin() + 0x40000); }
    std::vector<std::uint8_t> DeviceImage() const {
        const auto begin = device.Memory().begin() + 0x40000;
        return {begin, begin + static_cast<std::ptrdiff_t>(image.size())};
    }
    // Runs the sequence; what it printed stays in `printed`.
    int Execute() {
        CaptureStdout();
        const int result = protocol.Execute();
        printed = GetCapturedStdout();
        return result;
    }
    // The requests the device received: command, and the record's address and length in hex.
    std::vector<std::string> Requests(std::size_t from = 0) const {
        std::vector<std::string> log;
        for (std::size_t i = from; i < device.Requests().size(); ++i) {
            const qelsim::RequestRecord& r = device.Requests()[i];
            std::string entry = Hex(r.command);
            if (r.command == 0x18 || r.command == 0x1A) {
                entry += "@" + Hex(r.address);
            } else if (r.command == 0x1C) {
                entry += "@" + Hex(r.address) + "/" + Hex(r.length);
            }
            log.push_back(entry);
        }
        return log;
    }
    unsigned ImageCrc() const { return wire::Crc16Arc(image.data(), image.size()); }
    // The protocol reports to the rig's recorder from here on instead of printing.
    EventRecorder& RecordEvents() {
        protocol.SetEventSink(&events);
        return events;
    }

    expected::Firmware firmware;
    std::vector<std::uint8_t> image;
    EventRecorder events;  // outlives the protocol that reports to it
    qelsim::DeviceModel device;
    SimChannel channel{device};
    QelProtocol protocol;
    QelProtocolTestAccess access;
    std::string printed;
};

// The lines each step prints when it succeeds, for the three-page image.
std::string ClearLines(int attempt) {
    return "\nStart Firmware Upgrade. Attempt #" + std::to_string(attempt) +
           "\nDBG: Clear Page at 0x40000\nClear Header Page. ec = 0";
}
std::string PageLines(const char* address) {
    return std::string("\nDBG: Write Page at 0x") + address + "\nWrite Page. ec = 0";
}
std::string HeaderLines(int verifyMethod) {
    return std::string("\nDBG: Write Page at 0x40000\nWrite Header Page. ec = 0\nVerify Method: ") +
           (verifyMethod == 2 ? "FULL" : "CRC16");
}
std::string CrcLines(unsigned crc, int ec = 0, unsigned deviceCrc = 0xFFFFFFFF) {
    return "\nDBG: Verify with CRC16\nCRC DATA: 0x" + Hex(crc) + "\nCRC RESP: 0x" +
           Hex(deviceCrc == 0xFFFFFFFF ? crc : deviceCrc) +
           "\nVerify Downloaded Data (CRC16). ec = " + std::to_string(ec);
}
// The clear, the two data pages and the header page.
std::string WriteLines(int verifyMethod) {
    return ClearLines(1) + PageLines("40100") + PageLines("40200") + HeaderLines(verifyMethod);
}
const std::string kFullLines =
    "\nDBG: Verify with reading all data back\nDBG: Read Page at 0x40000"
    "\nDBG: Read Page at 0x40100\nDBG: Read Page at 0x40200\nVerify Downloaded Data (FULL). ec = 0";
const std::string kResetLines = "\nDBG: Reset Device\nReset Remote Device. ec = 0";
const std::string kCheckLines = "\nCheck Remote Device State ...\nReading Device System Time ...";

const std::vector<std::string> kWrites = {"18@40000", "18@40100", "18@40200", "18@40000"};
const std::string kCrcRequest = "1c@40000/300";
const std::vector<std::string> kReads = {"1a@40000", "1a@40100", "1a@40200"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The steps a run mode takes, in their order.
enum Step { kWrite = 1, kCrc = 2, kReadBack = 4, kReset = 8, kCheck = 16 };

struct SequenceRow {
    int runMode;
    int verifyMethod;
    int steps;

    std::vector<std::string> Requests() const {
        auto when = [this](int step, std::vector<std::string> part) {
            return (steps & step) != 0 ? part : std::vector<std::string>{};
        };
        return Join({when(kWrite, kWrites), when(kCrc, {kCrcRequest}), when(kReadBack, kReads),
                     when(kReset, {"a"}), when(kCheck, {"6"})});
    }
    std::string Lines(unsigned crc) const {
        return ((steps & kWrite) != 0 ? WriteLines(verifyMethod) : "") +
               ((steps & kCrc) != 0 ? CrcLines(crc) : "") +
               ((steps & kReadBack) != 0 ? kFullLines : "") +
               ((steps & kReset) != 0 ? kResetLines : "") +
               ((steps & kCheck) != 0 ? kCheckLines : "");
    }
    // The device check waits before it reads the clock.
    std::vector<unsigned long> Pauses() const {
        return (steps & kCheck) != 0 ? std::vector<unsigned long>{10000}
                                     : std::vector<unsigned long>{};
    }
};

const SequenceRow kRows[] = {
    {1, 1, kWrite | kCrc | kReset},
    {1, 2, kWrite | kCrc | kReadBack | kReset},
    {2, 1, kWrite},
    {2, 2, kWrite},
    {3, 1, kCrc},
    {3, 2, kCrc | kReadBack},
    {4, 1, kReset},
    {4, 2, kReset},
    {5, 1, kWrite | kCrc | kReset | kCheck},
    {5, 2, kWrite | kCrc | kReadBack | kReset | kCheck},
};

class SequenceTable : public testing::TestWithParam<SequenceRow> {};

TEST_P(SequenceTable, SendsTheRequestsOfItsRowAndPrintsTheirLines) {
    const SequenceRow& row = GetParam();
    SleepRecorder sleeps;
    Rig rig(row.verifyMethod, row.runMode);
    rig.Preload();
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.Requests(), row.Requests());
    EXPECT_EQ(rig.printed, row.Lines(rig.ImageCrc()));
    EXPECT_EQ(SleepRecorder::Pauses(), row.Pauses());
    EXPECT_EQ(rig.access.UpgradeState(), 0);
    // Every request carries a new message id.
    for (std::size_t i = 0; i < rig.device.Requests().size(); ++i) {
        EXPECT_EQ(rig.device.Requests()[i].messageId, i + 2);
    }
}

struct PhaseProgress {
    int phase;
    int done;
    int total;
};

// The last progress of each phase, in the order the phases came; within a phase the pages done
// go up by one from none.
std::vector<PhaseProgress> LastProgressOfEachPhase(const EventRecorder& events) {
    std::vector<PhaseProgress> phases;
    for (const auto& recorded : events.OfKind(QEL_EVENT_PROGRESS)) {
        const qel_event& event = recorded.event;
        const bool begins = phases.empty() || phases.back().phase != event.phase;
        EXPECT_EQ(event.pages_done, begins ? 0 : phases.back().done + 1)
            << qel_phase_name(event.phase);
        if (begins) {
            phases.push_back({event.phase, event.pages_done, event.pages_total});
        } else {
            phases.back().done = event.pages_done;
        }
    }
    return phases;
}

// The phases of the steps in their order, and the device check that has no step line.
std::vector<int> PhasesOfTheSteps(const EventRecorder& events, int runMode) {
    std::vector<int> phases;
    for (const auto& recorded : events.OfKind(QEL_EVENT_STEP)) {
        if (phases.empty() || phases.back() != recorded.event.phase) {
            phases.push_back(recorded.event.phase);
        }
    }
    if (runMode == 5) {
        phases.push_back(QEL_PHASE_DEVICE_CHECK);
    }
    return phases;
}

TEST_P(SequenceTable, ReportsItsLinesToItsOwnSinkAndEveryPhaseToItsLastPage) {
    const SequenceRow& row = GetParam();
    SleepRecorder sleeps;
    Rig rig(row.verifyMethod, row.runMode);
    rig.Preload();
    const EventRecorder& events = rig.RecordEvents();
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.printed, "");
    EXPECT_EQ(events.Text(), row.Lines(rig.ImageCrc()));

    std::vector<int> reached;
    for (const PhaseProgress& phase : LastProgressOfEachPhase(events)) {
        EXPECT_EQ(phase.done, phase.total) << qel_phase_name(phase.phase);
        reached.push_back(phase.phase);
    }
    EXPECT_EQ(reached, PhasesOfTheSteps(events, row.runMode));
    // The line count grows with every exchange and never goes back.
    std::uint64_t bytes = 0;
    for (const auto& recorded : events.Events()) {
        EXPECT_GE(recorded.event.line_bytes, bytes);
        bytes = recorded.event.line_bytes;
    }
    EXPECT_GT(bytes, 0u);
}

// Names a case of the run mode and verify method tables.
struct ModesName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& tested) const {
        return "RunMode" + std::to_string(tested.param.runMode) + "Verify" +
               std::to_string(tested.param.verifyMethod);
    }
};

INSTANTIATE_TEST_SUITE_P(RunModesAndVerifyMethods, SequenceTable, testing::ValuesIn(kRows),
                         ModesName());

TEST(UpgradeSequence, LeavesTheApplicationImageInTheDeviceAndItBoots) {
    Rig rig(2, 1, 3000);
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.DeviceImage(), rig.image);
    EXPECT_EQ(rig.device.LastBootVerdict(), "boot ok");
    EXPECT_EQ(rig.device.ResetCount(), 1u);
}

// Only the device check's clock reads notify the window; the sequence's own traffic shows in the
// printed lines.
TEST(UpgradeSequence, NotifiesTheWindowOfNothingButTheDeviceCheck) {
    SleepRecorder sleeps;
    TraceRecorder window;
    Rig rig(2, 5, 500, window.Window());
    EXPECT_EQ(rig.Execute(), 0);
    ASSERT_EQ(window.Received().size(), 2u);
    EXPECT_EQ(window.Received()[0].wParam, (12u << 16) | 0x06);
    EXPECT_EQ(window.Received()[1].wParam, 0x86u);
}

struct LineFields {
    int kind;
    int phase;
    int code;
    int command;
    unsigned address;
    bool operator==(const LineFields&) const = default;
};

void PrintTo(const LineFields& line, std::ostream* out) {
    *out << qel_event_kind_name(line.kind) << "/" << qel_phase_name(line.phase) << "/" << line.code
         << "/" << line.command << "/0x" << std::hex << line.address << std::dec;
}

// Every event but the progress, by its fields.
std::vector<LineFields> LinesOf(const EventRecorder& events) {
    std::vector<LineFields> lines;
    for (const auto& [event, text] : events.Events()) {
        if (event.kind != QEL_EVENT_PROGRESS) {
            lines.push_back({event.kind, event.phase, event.code, event.command, event.address});
        }
    }
    return lines;
}

TEST(UpgradeEvents, EachLineCarriesItsKindPhaseCodeCommandAndAddress) {
    Rig rig(2, 1);
    const EventRecorder& events = rig.RecordEvents();
    ASSERT_EQ(rig.Execute(), 0);
    std::vector<LineFields> expected = {{QEL_EVENT_ATTEMPT, QEL_PHASE_CLEAR, 0, -1, 0}};
    // A command's "DBG: " line, then for a step its result line.
    auto add = [&expected](int phase, int command, unsigned address, bool step = true) {
        expected.push_back({QEL_EVENT_TRACE, phase, 0, command, address});
        if (step) {
            expected.push_back({QEL_EVENT_STEP, phase, 0, command, address});
        }
    };
    const LineFields info{QEL_EVENT_INFO, QEL_PHASE_VERIFY_CRC, 0, -1, 0};
    add(QEL_PHASE_CLEAR, 0x18, 0x40000);
    add(QEL_PHASE_WRITE, 0x18, 0x40100);
    add(QEL_PHASE_WRITE, 0x18, 0x40200);
    add(QEL_PHASE_HEADER, 0x18, 0x40000);
    expected.push_back({QEL_EVENT_INFO, QEL_PHASE_HEADER, 0, -1, 0});  // the verify method
    add(QEL_PHASE_VERIFY_CRC, 0x1C, 0x40000, false);
    expected.insert(expected.end(), {info, info});  // the two CRC16s
    expected.push_back({QEL_EVENT_STEP, QEL_PHASE_VERIFY_CRC, 0, 0x1C, 0x40000});
    for (unsigned address : {0u, 0x40000u, 0x40100u, 0x40200u}) {
        add(QEL_PHASE_READ_BACK, 0x1A, address, false);
    }
    expected.push_back({QEL_EVENT_STEP, QEL_PHASE_READ_BACK, 0, 0x1A, 0x40000});
    add(QEL_PHASE_RESET, 0x0A, 0);
    EXPECT_EQ(LinesOf(events), expected);
}

TEST(UpgradeEvents, AFailedStepNamesItsCodeAndPage) {
    Rig rig(1, 1);
    rig.device.Options().failWriteAddress = 0x40200;
    const EventRecorder& events = rig.RecordEvents();
    ASSERT_EQ(rig.Execute(), qel::kErrReplyStatus);
    const std::vector<LineFields> lines = LinesOf(events);
    ASSERT_GE(lines.size(), 3u);
    const std::vector<LineFields> tail(lines.end() - 3, lines.end());
    EXPECT_EQ(tail,
              (std::vector<LineFields>{{QEL_EVENT_TRACE, QEL_PHASE_WRITE, 0, 0x18, 0x40200},
                                       {QEL_EVENT_TRACE, QEL_PHASE_WRITE, 5007, 0x18, 0x40200},
                                       {QEL_EVENT_STEP, QEL_PHASE_WRITE, 5007, 0x18, 0x40200}}));
}

TEST(UpgradeEvents, TwoObjectsInTwoThreadsReportToTheirOwnSinks) {
    Rig first(1, 1);
    Rig second(2, 1, 3000);
    const EventRecorder& firstEvents = first.RecordEvents();
    const EventRecorder& secondEvents = second.RecordEvents();
    int results[2] = {-1, -1};
    CaptureStdout();
    std::thread other([&] { results[1] = second.protocol.Execute(); });
    results[0] = first.protocol.Execute();
    other.join();
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(results[0], 0);
    EXPECT_EQ(results[1], 0);
    EXPECT_EQ(firstEvents.Text(), WriteLines(1) + CrcLines(first.ImageCrc()) + kResetLines);
    // The clear, a step a data page, the header page, the two verifications and the reset.
    const std::size_t dataPages = second.image.size() / 256 - 1;
    EXPECT_EQ(secondEvents.OfKind(QEL_EVENT_STEP).size(), 1 + dataPages + 4);
    EXPECT_EQ(second.DeviceImage(), second.image);
    EXPECT_EQ(first.DeviceImage(), first.image);
}

TEST(UpgradeSequence, AnImageOfOnePageGoesFromTheClearedHeaderStraightToTheHeaderPage) {
    Rig rig(1, 1, 3);
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.Requests(),
              (std::vector<std::string>{"18@40000", "18@40000", "1c@40000/100", "a"}));
    EXPECT_EQ(rig.printed.find("Write Page."), std::string::npos);
    EXPECT_NE(rig.printed.find("\nClear Header Page. ec = 0\nDBG: Write Page at 0x40000"),
              std::string::npos);
    EXPECT_EQ(rig.DeviceImage(), rig.image);
    EXPECT_EQ(rig.device.LastBootVerdict(), "boot ok");
}

TEST(UpgradeSequence, AnUnknownRunModeRunsEveryStep) {
    for (int runMode : {0, 6, -1}) {
        Rig rig(1, runMode);
        EXPECT_EQ(rig.Execute(), 0);
        EXPECT_EQ(rig.Requests(), Join({kWrites, {kCrcRequest, "a"}})) << runMode;
    }
}

TEST(UpgradeSequence, ResumesAtTheDataPageThatFailed) {
    Rig rig(1, 1);
    rig.device.Options().failWriteAddress = 0x40200;
    EXPECT_EQ(rig.Execute(), qel::kErrReplyStatus);
    EXPECT_EQ(rig.access.UpgradeState(), 2);
    EXPECT_EQ(rig.access.PageAddress(), 0x40200u);
    EXPECT_EQ(rig.printed, ClearLines(1) + PageLines("40100") +
                               "\nDBG: Write Page at 0x40200"
                               "\nDBG: Write Page Failed. Reply STATUS byte is bad."
                               "\nWrite Page. ec = 5007");

    rig.device.Options().failWriteAddress.reset();
    const std::size_t before = rig.device.Requests().size();
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.Requests(before),
              (std::vector<std::string>{"18@40200", "18@40000", kCrcRequest, "a"}));
    EXPECT_EQ(rig.printed.find("Attempt"), std::string::npos);
    EXPECT_EQ(rig.device.LastBootVerdict(), "boot ok");
}

// What the device holds before an upgrade that skips the pages it holds already.
struct SkipRow {
    const char* name;
    void (*prepare)(std::vector<std::uint8_t>& memory);
    std::vector<std::string> requests;
    int pagesSkipped;
};

// The device's memory `m` as the upgrade finds it: the image preloaded, or changed since.
struct Memory {
    using Bytes = std::vector<std::uint8_t>;
    static void HoldsTheImage(Bytes&) {}
    static void Erased(Bytes& m) { std::fill_n(m.begin() + 0x40000, 0x300, 0xFF); }
    static void SecondDataPageChanged(Bytes& m) { m[0x40205] ^= 1; }
    static void HeaderPageCleared(Bytes& m) { std::fill_n(m.begin() + 0x40000, 0x100, 0xFF); }
};

// The whole image, then its pages (the last follows from the others): a small image is compared
// page by page.
const std::vector<std::string> kCompares = {"1c@40000/300", "1c@40000/100", "1c@40100/100"};
const SkipRow kSkipRows[] = {
    {"HoldsTheImage", &Memory::HoldsTheImage, Join({kCompares, {kCrcRequest, "a"}}), 3},
    {"Erased", &Memory::Erased, Join({kCompares, kWrites, {kCrcRequest, "a"}}), 0},
    {"SecondDataPageChanged", &Memory::SecondDataPageChanged,
     Join({kCompares, {"18@40000", "18@40200", "18@40000", kCrcRequest, "a"}}), 1},
    {"HeaderPageCleared", &Memory::HeaderPageCleared,
     Join({kCompares, {"18@40000", "18@40000", kCrcRequest, "a"}}), 2},
};

class SkipTable : public testing::TestWithParam<SkipRow> {};

TEST_P(SkipTable, WritesOnlyWhatDiffersClearingTheHeaderFirstWhenAnythingDoes) {
    Rig rig(1, 1);
    rig.Preload();
    GetParam().prepare(rig.device.Memory());
    rig.access.SetPageSending(true, 1);
    const EventRecorder& events = rig.RecordEvents();
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.Requests(), GetParam().requests);
    EXPECT_EQ(rig.DeviceImage(), rig.image);
    EXPECT_EQ(rig.access.PagesSkipped(), GetParam().pagesSkipped);
    EXPECT_EQ(rig.access.PagesWritten(), 3 - GetParam().pagesSkipped);
    const std::string text = events.Text();
    const std::size_t compare = text.find("\nCompare With Device. ec = 0\nPages to write: " +
                                          std::to_string(3 - GetParam().pagesSkipped) + " of 3 (");
    EXPECT_NE(compare, std::string::npos) << text;
    EXPECT_LT(compare, text.find("Verify Method: CRC16"));
    // The compare comes first and reaches every page; the pages skipped are passed over.
    const auto progress = events.OfKind(QEL_EVENT_PROGRESS);
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[0].event.phase, QEL_PHASE_COMPARE);
    EXPECT_EQ(progress[0].event.pages_done, 0);
    EXPECT_EQ(progress[1].event.phase, QEL_PHASE_COMPARE);
    EXPECT_EQ(progress[1].event.pages_done, 3);
    EXPECT_EQ(progress[1].event.pages_total, 3);
}

INSTANTIATE_TEST_SUITE_P(DeviceMemory, SkipTable, testing::ValuesIn(kSkipRows), CaseName());

TEST(UpgradeSequence, SkippingResumesAfterAFailedAttemptWithThePagesNotYetWritten) {
    Rig rig(1, 1, 3000);
    rig.access.SetPageSending(true, 1);
    rig.device.Options().failWriteAddress = 0x40600;
    EXPECT_EQ(rig.Execute(), qel::kErrReplyStatus);
    rig.device.Options().failWriteAddress.reset();
    rig.protocol.ResetUpgrade();
    const std::size_t before = rig.device.Requests().size();
    EXPECT_EQ(rig.Execute(), 0);
    std::vector<std::string> writes;
    for (const std::string& request : rig.Requests(before)) {
        if (request.rfind("18@", 0) == 0) {
            writes.push_back(request);
        }
    }
    // Pages 0x40100 to 0x40500 were written by the failed attempt.
    EXPECT_EQ(writes, (std::vector<std::string>{"18@40000", "18@40600", "18@40700", "18@40800",
                                                "18@40900", "18@40a00", "18@40b00", "18@40000"}));
    EXPECT_EQ(rig.DeviceImage(), rig.image);
    EXPECT_EQ(rig.access.PagesSkipped(), 5);
}

TEST(UpgradeSequence, BlindModeWritesEveryPageWhenTheCompareFails) {
    SleepRecorder sleeps;
    Rig rig(1, 5);
    rig.Preload();
    rig.access.SetPageSending(true, 1);
    rig.device.Options().dropReplies = {1};
    EXPECT_EQ(rig.Execute(), 0);
    rig.channel.DiscardPending();
    EXPECT_EQ(rig.Requests(), Join({{kCompares[0]}, kWrites, {kCrcRequest, "a", "6"}}));
    EXPECT_EQ(rig.DeviceImage(), rig.image);
}

// Page writes in flight: the same requests as one at a time, with replies taken in order.
TEST(UpgradeSequence, PagesInFlightSendTheSameRequestsAndKeepTheWindowFull) {
    Rig plain(1, 1, 5000);
    Rig windowed(1, 1, 5000);
    windowed.access.SetPageSending(false, 4);
    EXPECT_EQ(plain.Execute(), 0);
    EXPECT_EQ(windowed.Execute(), 0);
    EXPECT_EQ(windowed.Requests(), plain.Requests());
    EXPECT_EQ(windowed.DeviceImage(), windowed.image);
    EXPECT_EQ(windowed.channel.MostRepliesWaiting(), 4);
    EXPECT_EQ(plain.channel.MostRepliesWaiting(), 1);
    EXPECT_EQ(windowed.access.PagesWritten(), 20);
    // Each page still has its two lines; the traces run ahead of the results.
    EXPECT_EQ(orvane_test::CountOf(windowed.printed, "\nWrite Page. ec = 0"), 19);
    EXPECT_EQ(orvane_test::CountOf(windowed.printed, "\nDBG: Write Page at 0x"), 20);
}

TEST(UpgradeSequence, PagesInFlightStopSendingAtTheFirstFailure) {
    Rig rig(1, 1, 5000);
    rig.access.SetPageSending(false, 4);
    rig.device.Options().failStatusRequests = {5};  // the page at 0x40400
    EXPECT_EQ(rig.Execute(), qel::kErrReplyStatus);
    EXPECT_EQ(rig.access.UpgradeState(), 2);
    EXPECT_EQ(rig.access.PageAddress(), 0x40400u);
    EXPECT_EQ(rig.device.Requests().size(), 8u);  // sent before the failed reply came
    EXPECT_NE(rig.printed.find("\nDBG: Write Page Failed. Reply STATUS byte is bad."
                               "\nWrite Page. ec = 5007"),
              std::string::npos);

    rig.channel.DiscardPending();
    rig.protocol.ResetUpgrade();
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.DeviceImage(), rig.image);
}

TEST(UpgradeSequence, ResumesTheReadBackAtThePageThatCouldNotBeRead) {
    Rig rig(2, 1);
    rig.device.Options().failStatusRequests = {7};  // the read of 0x40100
    EXPECT_EQ(rig.Execute(), qel::kErrReplyStatus);
    EXPECT_EQ(rig.access.UpgradeState(), 6);
    EXPECT_EQ(rig.access.PageAddress(), 0x40100u);

    const std::size_t before = rig.device.Requests().size();
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.Requests(before), (std::vector<std::string>{"1a@40100", "1a@40200", "a"}));
}

TEST(UpgradeSequence, ResumesTheReadBackAtThePageThatDiffered) {
    Rig rig(2, 1);
    rig.Preload();
    rig.device.Memory()[0x40205] ^= 0x5A;
    rig.access.SetUpgradeState(6);
    rig.access.SetPageAddress(0x40100);
    EXPECT_EQ(rig.Execute(), qel::kErrImageCorrupted);
    EXPECT_EQ(rig.access.UpgradeState(), 6);
    EXPECT_EQ(rig.access.PageAddress(), 0x40200u);
    EXPECT_EQ(rig.printed,
              "\nDBG: Verify with reading all data back\nDBG: Read Page at 0x40100"
              "\nDBG: Read Page at 0x40200"
              "\nERROR: Block at address 0x40200 contains corrupted data."
              "\nByte at position 5 is not the same as original one.\nOriginal: 0x" +
                  Hex(rig.image[0x205]) + "\nUploaded: 0x" + Hex(rig.image[0x205] ^ 0x5Au) +
                  "\nVerify Downloaded Data (FULL). ec = 5011");

    rig.device.Memory()[0x40205] ^= 0x5A;
    const std::size_t before = rig.device.Requests().size();
    EXPECT_EQ(rig.Execute(), 0);
    EXPECT_EQ(rig.Requests(before), (std::vector<std::string>{"1a@40200", "a"}));
}

// A different device CRC16 ends the sequence with 5008; blind mode resets and checks the device
// first.
TEST(UpgradeSequence, ADifferentDeviceCrcEndsTheSequenceWith5008) {
    for (int runMode : {1, 5}) {
        SCOPED_TRACE(runMode);
        SleepRecorder sleeps;
        Rig rig(1, runMode);
        rig.device.Options().lieAboutCrc16 = true;
        EXPECT_EQ(rig.Execute(), qel::kErrImageCrcMismatch);
        const bool blind = runMode == 5;
        EXPECT_EQ(rig.Requests(),
                  Join({kWrites,
                        {kCrcRequest},
                        blind ? std::vector<std::string>{"a", "6"} : std::vector<std::string>{}}));
        const std::string crc = CrcLines(rig.ImageCrc(), 5008, rig.ImageCrc() ^ 0xFFFF);
        EXPECT_TRUE(blind ? orvane_test::CountOf(rig.printed, crc + kResetLines + kCheckLines) == 1
                          : orvane_test::EndsWith(rig.printed, crc));
        EXPECT_EQ(rig.access.UpgradeState(), blind ? 0 : 5);
    }
}

TEST(UpgradeSequence, BlindModePassesOverFailedStepsAndEndsWhenTheDeviceAnswers) {
    SleepRecorder sleeps;
    Rig rig(1, 5);
    rig.device.Options().failWriteAddress = 0x40100;
    // The device answers, but the attempt left it with a wrong image: its first failure stands.
    EXPECT_EQ(rig.Execute(), qel::kErrReplyStatus);
    EXPECT_EQ(rig.Requests(), Join({kWrites, {kCrcRequest, "a", "6"}}));
    EXPECT_NE(rig.printed.find("\nWrite Page. ec = 5007" + PageLines("40200")), std::string::npos);
    // The skipped page makes the CRC16 differ; the reset and the check still run.
    EXPECT_NE(
        rig.printed.find("\nVerify Downloaded Data (CRC16). ec = 5008" + kResetLines + kCheckLines),
        std::string::npos);
    EXPECT_EQ(rig.access.UpgradeState(), 0);
}

TEST(UpgradeSequence, BlindModeStartsAgainWhenTheDeviceStaysSilentAfterItsReset) {
    SleepRecorder sleeps;
    Rig rig(1, 5);
    rig.device.Options().silentRequestsAfterReset = 10;
    // Only the first reset is followed by silence.
    rig.device.SetBootObserver(
        [&rig](const std::string&) { rig.device.Options().silentRequestsAfterReset = 0; });
    EXPECT_EQ(rig.Execute(), 0);

    int silentClockReads = 0;
    for (const auto& request : rig.device.Requests()) {
        silentClockReads += request.command == 0x06 && !request.answered;
    }
    EXPECT_EQ(silentClockReads, 10);
    std::vector<unsigned long> pauses{10000};
    pauses.insert(pauses.end(), 9, 60000);
    pauses.push_back(10000);  // before the check of the second attempt
    EXPECT_EQ(SleepRecorder::Pauses(), pauses);

    std::string check = "\nCheck Remote Device State ...";
    for (int read = 1; read <= 10; ++read) {
        check += "\nReading Device System Time ...\nReading Device System Time Failed.";
        if (read < 10) {
            check += "\nWait 1 minute and try again.";
        }
    }
    check +=
        "\nIt is hopeless :(\nTry to upgrade firmware again.\nStart Firmware Upgrade. Attempt #2";
    EXPECT_NE(rig.printed.find(kResetLines + check), std::string::npos);
    EXPECT_EQ(rig.device.ResetCount(), 2u);
    EXPECT_EQ(rig.device.LastBootVerdict(), "boot ok");
    // The image of the first attempt was verified: the second checks it and does not clear it.
    const std::size_t secondAttempt = rig.Requests().size() - 3;
    EXPECT_EQ(rig.Requests(secondAttempt), (std::vector<std::string>{kCrcRequest, "a", "6"}));
    EXPECT_NE(
        rig.printed.find("Attempt #2\nThe image was written and verified before: checking it in "
                         "the device." +
                         CrcLines(rig.ImageCrc()) + kResetLines),
        std::string::npos);
    EXPECT_EQ(rig.printed.find("Clear Header Page", rig.printed.find("Attempt #2")),
              std::string::npos);
}

TEST(UpgradeSequence, BlindModeWritesAgainWhenTheVerifiedImageIsNoLongerInTheDevice) {
    SleepRecorder sleeps;
    Rig rig(1, 5);
    rig.device.Options().silentRequestsAfterReset = 10;
    rig.device.SetBootObserver([&rig, boots = 0](const std::string&) mutable {
        rig.device.Options().silentRequestsAfterReset = 0;
        if (++boots == 1) {
            rig.device.Memory()[0x40100] ^= 0xFF;  // the device lost a byte of the image
        }
    });
    EXPECT_EQ(rig.Execute(), 0);
    const std::vector<std::string> secondAttempt =
        Join({{kCrcRequest}, kWrites, {kCrcRequest, "a", "6"}});
    EXPECT_EQ(rig.Requests(rig.Requests().size() - secondAttempt.size()), secondAttempt);
    EXPECT_NE(
        rig.printed.find("Verify Downloaded Data (CRC16). ec = 5008\nDBG: Clear Page at 0x40000"),
        std::string::npos);
    EXPECT_EQ(rig.DeviceImage(), rig.image);
}

// The first send fails: blind mode says why and stops; the other modes return the failure at once.
TEST(UpgradeSequence, AFailedSendEndsTheSequence) {
    for (int runMode : {5, 1}) {
        SCOPED_TRACE(runMode);
        FakeChannel channel;
        channel.FailWrite(0, qel::kErrWrite);
        QelProtocol protocol(&channel, 1, runMode, nullptr);
        QelProtocolTestAccess access(protocol);
        std::vector<char> firmware(0x80000, 0);
        CaptureStdout();
        protocol.PrepareDataBuffer(firmware.data(), 0x3000, 0x3100);
        GetCapturedStdout();
        CaptureStdout();
        EXPECT_EQ(protocol.Execute(), qel::kErrWrite);
        EXPECT_EQ(
            GetCapturedStdout(),
            "\nStart Firmware Upgrade. Attempt #1\nDBG: Clear Page at 0x40000"
            "\nClear Header Page. ec = 5024" +
                std::string(runMode == 5 ? "\nCannot write data to socket. Socket is not valid."
                                         : ""));
        EXPECT_EQ(channel.Calls().size(), 1u);
        if (runMode == 5) {
            EXPECT_EQ(access.UpgradeState(), 2);  // the state that was to run next
        }
    }
}

TEST(UpgradeSequence, ResetOnlyAndVerifyOnlyIgnoreTheStoredState) {
    Rig reset(1, 4);
    reset.access.SetUpgradeState(2);
    EXPECT_EQ(reset.Execute(), 0);
    EXPECT_EQ(reset.Requests(), (std::vector<std::string>{"a"}));

    Rig verify(1, 3);
    verify.device.Options().lieAboutCrc16 = true;
    verify.access.SetUpgradeState(3);
    EXPECT_EQ(verify.Execute(), qel::kErrImageCrcMismatch);
    EXPECT_EQ(verify.Requests(), (std::vector<std::string>{kCrcRequest}));
}

TEST(UpgradeSequence, WithoutAnApplicationImageNothingIsSent) {
    for (int runMode : {1, 2, 3, 5}) {
        FakeChannel channel;
        QelProtocol protocol(&channel, 2, runMode, nullptr);
        CaptureStdout();
        EXPECT_EQ(protocol.Execute(), qel::kErrNoImage) << runMode;
        EXPECT_EQ(GetCapturedStdout(), "");
        EXPECT_TRUE(channel.Calls().empty());
    }
    // The reset needs no image.
    FakeChannel channel;
    channel.QueueReply("5A8A7D02006DE3\r");
    QelProtocol protocol(&channel, 1, 4, nullptr);
    CaptureStdout();
    EXPECT_EQ(protocol.Execute(), 0);
    EXPECT_EQ(GetCapturedStdout(), kResetLines);
}

struct Transition {
    int runMode;
    int verifyMethod;
    std::vector<int> next;  // for the states 0 to 8
};

class NextState : public testing::TestWithParam<Transition> {};

TEST_P(NextState, FollowsTheRunModeAndVerifyMethod) {
    QelProtocol protocol(nullptr, GetParam().verifyMethod, GetParam().runMode, nullptr);
    QelProtocolTestAccess access(protocol);
    for (int state = 0; state <= 8; ++state) {
        EXPECT_EQ(access.GetNextState(state), GetParam().next[state]) << "state " << state;
    }
    EXPECT_EQ(access.GetNextState(-3), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, NextState,
                         testing::Values(Transition{1, 1, {0, 2, 3, 5, 0, 4, 4, 0, 0}},
                                         Transition{1, 2, {0, 2, 3, 5, 0, 6, 4, 0, 0}},
                                         Transition{2, 1, {0, 2, 3, 0, 0, 4, 4, 0, 0}},
                                         Transition{3, 1, {0, 2, 3, 5, 0, 0, 0, 0, 0}},
                                         Transition{3, 2, {0, 2, 3, 5, 0, 6, 0, 0, 0}},
                                         Transition{4, 1, {0, 2, 3, 5, 0, 4, 4, 0, 0}},
                                         Transition{5, 1, {0, 2, 3, 5, 7, 4, 4, 0, 0}},
                                         Transition{5, 7, {0, 2, 3, 5, 7, 4, 4, 0, 0}}),
                         ModesName());

TEST(UpgradeSequence, ResetUpgradeStartsOverAndKeepsImageAndMessageId) {
    Rig rig(1, 1);
    rig.access.SetUpgradeState(6);
    rig.access.SetPageAddress(0x40300);
    rig.access.SetMsgId(77);
    const unsigned char* image = rig.access.DataBuffer();
    rig.protocol.ResetUpgrade();
    EXPECT_EQ(rig.access.UpgradeState(), 0);
    EXPECT_EQ(rig.access.PageAddress(), 0x40000u);
    EXPECT_EQ(rig.access.MsgId(), 77);
    EXPECT_EQ(rig.access.DataBuffer(), image);
}

}  // namespace
