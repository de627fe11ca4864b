// The output modes on their own: JSON text, the JSON Lines sink, the quiet sink, the mode chosen
// from a command line, the progress line on a terminal and a station's progress block.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "case_name.h"
#include "json_check.h"
#include "json_lines_sink.h"
#include "output_mode.h"
#include "progress_block.h"
#include "progress_line.h"
#include "qel_codes.h"
#include "quiet_sink.h"
#include "temp_dir.h"

#ifndef _WIN32
#include <sys/ioctl.h>

#include "pty_pair.h"
#endif

namespace {

struct JsonStringCase {
    const char* name;
    std::string text;
    std::string literal;
};

class JsonStringOf : public testing::TestWithParam<JsonStringCase> {};

TEST_P(JsonStringOf, IsPlainAsciiAndParses) {
    const std::string literal = cli::JsonString(GetParam().text);
    EXPECT_EQ(literal, GetParam().literal);
    EXPECT_TRUE(json_check::ObjectOf("{\"k\":" + literal + "}").has_value()) << literal;
}

INSTANTIATE_TEST_SUITE_P(
    Escapes, JsonStringOf,
    testing::Values(JsonStringCase{"QuotesAndBackslashes", "a\"b\\c", "\"a\\\"b\\\\c\""},
                    JsonStringCase{"ControlCharacters", std::string("\n\x01\x7f\0", 4),
                                   "\"\\u000a\\u0001\\u007f\\u0000\""},
                    JsonStringCase{"Utf8", "\xc3\xa9\xe2\x82\xac", "\"\\u00e9\\u20ac\""},
                    JsonStringCase{"BeyondTheBasicPlane", "\xf0\x9f\x98\x80", "\"\\ud83d\\ude00\""},
                    JsonStringCase{"Latin1BytesKeepTheirValue", "caf\xe9.hex",
                                   "\"caf\\u00e9.hex\""},
                    JsonStringCase{"CutSequence", "\xe2\x82", "\"\\u00e2\\u0082\""},
                    JsonStringCase{"OverlongForm", "\xc0\xaf", "\"\\u00c0\\u00af\""},
                    JsonStringCase{"Surrogate", "\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""}),
    CaseName());

// The lines a JSON Lines sink writes, each checked to be one object.
class JsonLines : public testing::Test {
  protected:
    std::vector<json_check::Fields> Objects() {
        std::fflush(m_stream);
        std::vector<json_check::Fields> objects;
        std::string line;
        for (const char c : ReadFileText(m_path)) {
            if (c != '\n') {
                line += c;
                continue;
            }
            const auto fields = json_check::ObjectOf(line);
            EXPECT_TRUE(fields.has_value()) << line;
            objects.push_back(fields.value_or(json_check::Fields{}));
            line.clear();
        }
        EXPECT_EQ(line, "") << "every line ends with a line break";
        return objects;
    }
    void TearDown() override { std::fclose(m_stream); }

    TempDir m_dir;
    std::string m_path = m_dir.Path("lines.json");
    std::FILE* m_stream = std::fopen(m_path.c_str(), "w+b");
    cli::LineWriter m_writer{m_stream};
};

qel_event Progress(int phase, int done, int total, std::uint32_t ms) {
    qel_event event = qel::MakeEvent(QEL_EVENT_PROGRESS);
    event.phase = phase;
    event.pages_done = done;
    event.pages_total = total;
    event.elapsed_ms = ms;
    return event;
}

qel_event Attempt(int attempt) {
    qel_event event = qel::MakeEvent(QEL_EVENT_ATTEMPT);
    event.phase = QEL_PHASE_OPEN;
    event.attempt = attempt;
    return event;
}

qel_event Ending(int code, int failure) {
    qel_event event = qel::MakeEvent(QEL_EVENT_RESULT);
    event.ok = failure == QEL_FAILURE_NONE ? 1 : 0;
    event.code = code;
    event.failure = failure;
    return event;
}

qel_event Line(int kind, int code, const char* text) {
    qel_event event = qel::MakeEvent(kind);
    event.code = code;
    event.text = text;
    return event;
}

TEST_F(JsonLines, CarryTheRunFromStartToResult) {
    cli::JsonLinesSink sink(m_writer, {"Orvane", "1.02", "dir/app.hex"});
    qel_event start = qel::MakeEvent(QEL_EVENT_START);
    start.address = 0x3000;
    start.end_address = 0x3004;
    start.pages_total = 2;
    sink.OnEvent(start);
    sink.OnEvent(Line(QEL_EVENT_INFO, 0, "\nLoading HEX file..."));
    sink.OnEvent(Line(QEL_EVENT_TRACE, 0, "\nDBG: ..."));
    qel_event attempt = qel::MakeEvent(QEL_EVENT_ATTEMPT);
    attempt.attempt = 1;
    attempt.phase = QEL_PHASE_OPEN;
    sink.OnEvent(attempt);
    attempt.phase = QEL_PHASE_NONE;  // the upgrade's transmission is no attempt of its own
    sink.OnEvent(attempt);
    qel_event opened = qel::MakeEvent(QEL_EVENT_OPEN);
    opened.attempt = 1;
    opened.code = 5020;
    sink.OnEvent(opened);
    sink.OnEvent(Line(QEL_EVENT_WARNING, 5021, "\nWARNING: Sending data failed. ec=5021"));
    qel_event ending = Line(QEL_EVENT_RESULT, 5020, "\nERROR: Cannot download firmware.");
    ending.exit_status = 2;
    ending.failure = QEL_FAILURE_UNREACHABLE;
    ending.attempt = 1;
    ending.elapsed_ms = 1500;
    sink.OnEvent(ending);

    const auto objects = Objects();
    ASSERT_EQ(objects.size(), 5u) << "info and trace lines are left out";
    const json_check::Fields expected[] = {
        {{"event", "start"},
         {"version", "1.02"},
         {"file", "dir/app.hex"},
         {"first", "12288"},
         {"pages", "2"}},
        {{"event", "attempt"}, {"attempt", "1"}},
        {{"event", "open"}, {"ok", "false"}, {"code", "5020"}},
        {{"event", "warning"},
         {"message", "Sending data failed. ec=5021"},
         {"meaning", qel::ResultCodeText(5021)}},
        {{"event", "result"},
         {"ok", "false"},
         {"exit_status", "2"},
         {"failure", "unreachable"},
         {"seconds", "1.500"},
         {"meaning", qel::ResultCodeText(5020)},
         {"message", "Cannot download firmware."}},
    };
    for (std::size_t i = 0; i < objects.size(); ++i) {
        EXPECT_EQ(json_check::Mismatch(objects[i], expected[i]), "") << "object " << i;
    }
    EXPECT_EQ(objects[4].count("device"), 0u);
}

TEST_F(JsonLines, ProgressComesEveryPercentOrQuarterSecondAndAtTheEndOfAPhase) {
    cli::JsonLinesSink sink(m_writer, {});
    for (int page = 1; page <= 400; ++page) {
        sink.OnEvent(Progress(QEL_PHASE_WRITE, page, 400, 0));  // four pages a percent
    }
    sink.OnEvent(Progress(QEL_PHASE_READ_BACK, 0, 1000, 0));
    sink.OnEvent(Progress(QEL_PHASE_READ_BACK, 1, 1000, 100));
    sink.OnEvent(Progress(QEL_PHASE_READ_BACK, 2, 1000, 350));   // 250 ms later
    sink.OnEvent(Progress(QEL_PHASE_READ_BACK, 3, 1000, 400));   // too soon, too little
    sink.OnEvent(Progress(QEL_PHASE_READ_BACK, 999, 999, 450));  // the last of the phase
    const auto objects = Objects();
    ASSERT_EQ(objects.size(), 1 + 100 + 1 + 2u);
    EXPECT_EQ(json_check::Mismatch(objects[0], {{"event", "phase"}, {"phase", "write"}}), "");
    EXPECT_EQ(json_check::Mismatch(objects[1], {{"percent", "1"}, {"done", "4"}}), "");
    EXPECT_EQ(json_check::Mismatch(objects[100], {{"percent", "100"}, {"done", "400"}}), "");
    EXPECT_EQ(json_check::Mismatch(objects[101], {{"event", "phase"}, {"phase", "read_back"}}), "");
    EXPECT_EQ(json_check::Mismatch(objects[102], {{"done", "2"}}), "");
    EXPECT_EQ(json_check::Mismatch(objects[103], {{"percent", "100"}}), "");
}

TEST_F(JsonLines, EveryObjectNamesTheDeviceWhenGiven) {
    cli::JsonLinesSink first(m_writer, {}, "127.0.0.1:5000");
    cli::JsonLinesSink second(m_writer, {}, "/dev/ttyUSB0");
    first.OnEvent(Line(QEL_EVENT_ERROR, 0, "\nERROR: Cannot create specified channel."));
    second.OnEvent(Progress(QEL_PHASE_CLEAR, 0, 1, 0));
    qel_event ending = qel::MakeEvent(QEL_EVENT_RESULT);
    ending.failure = QEL_FAILURE_SETUP;
    first.OnEvent(ending);
    const auto objects = Objects();
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0].at("device"), "127.0.0.1:5000");
    EXPECT_EQ(objects[1].at("device"), "/dev/ttyUSB0");
    EXPECT_EQ(objects[2].at("device"), "127.0.0.1:5000");
    // A failure without a result code takes its meaning from its error.
    EXPECT_EQ(objects[2].at("meaning"), "Cannot create specified channel.");
}

TEST_F(JsonLines, QuietTextHasOnlyErrorsAndTheFinalLine) {
    cli::QuietSink sink(m_writer);
    sink.OnEvent(Line(QEL_EVENT_INFO, 0, "\nLoading HEX file..."));
    sink.OnEvent(Line(QEL_EVENT_WARNING, 5021, "\nWARNING: Sending data failed. ec=5021"));
    sink.OnEvent(Line(QEL_EVENT_ERROR, 5020, "\nERROR: Cannot open communication channel."));
    sink.OnEvent(Line(QEL_EVENT_RESULT, 0, "\nFile downloaded successfully."));
    std::fflush(m_stream);
    EXPECT_EQ(ReadFileText(m_path),
              "\nERROR: Cannot open communication channel.\nFile downloaded successfully.\n");
}

struct ModeCase {
    const char* name;
    std::vector<std::string> arguments;
    cli::OutputMode mode;
};

class OutputModeOf : public testing::TestWithParam<ModeCase> {};

TEST_P(OutputModeOf, IsChosenBeforeAnythingIsPrinted) {
    EXPECT_EQ(cli::OutputModeOf(GetParam().arguments), GetParam().mode);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, OutputModeOf,
    testing::Values(ModeCase{"None", {"/c=com", "/p=1"}, cli::OutputMode::kText},
                    ModeCase{"Quiet", {"/Q", "/c=com"}, cli::OutputMode::kQuiet},
                    ModeCase{"Json", {"/JSON"}, cli::OutputMode::kJson},
                    ModeCase{"JsonWinsOverQuiet", {"/json", "/q"}, cli::OutputMode::kJson},
                    ModeCase{"LongerWordsAreNoMode", {"/quiet", "/jsonl"}, cli::OutputMode::kText}),
    CaseName());

TEST(ProgressText, SaysPhasePercentPagesRateAndTimeLeft) {
    EXPECT_EQ(cli::ProgressText(Progress(QEL_PHASE_WRITE, 460, 1023, 0), 23456, 72.4),
              "write         44%  460/1023 pages  23.5 kB/s  1:12 left");
    EXPECT_EQ(cli::ProgressText(Progress(QEL_PHASE_VERIFY_CRC, 0, 1, 0), 0, -1),
              "verify_crc     0%  0/1 pages  0 B/s  -:-- left");
}

struct StatusCase {
    const char* name;
    std::vector<qel_event> events;
    cli::DeviceStatus::State state;
    std::string words;
};

class DeviceStatusAfter : public testing::TestWithParam<StatusCase> {};

TEST_P(DeviceStatusAfter, SaysHowFarTheDeviceGot) {
    cli::DeviceStatus status;
    for (const qel_event& event : GetParam().events) {
        status.Follow(event);
    }
    EXPECT_EQ(status.Now(), GetParam().state);
    EXPECT_EQ(status.Words(), GetParam().words);
}

using State = cli::DeviceStatus::State;
const qel_event kOpened = qel::MakeEvent(QEL_EVENT_OPEN);
const qel_event kHalfWritten = Progress(QEL_PHASE_WRITE, 50, 100, 1000);

INSTANTIATE_TEST_SUITE_P(
    Events, DeviceStatusAfter,
    testing::Values(
        StatusCase{"None", {}, State::kWaiting, "waiting"},
        StatusCase{"FirstAttempt", {Attempt(1)}, State::kRunning, "connecting"},
        StatusCase{
            "LaterAttempt", {Attempt(1), Attempt(3)}, State::kRunning, "attempt 3: connecting"},
        StatusCase{"RefusedConnection",
                   {Attempt(2), Line(QEL_EVENT_OPEN, 5020, "")},
                   State::kRunning,
                   "attempt 2: cannot connect (5020)"},
        StatusCase{"Progress",
                   {Attempt(1), kOpened, kHalfWritten},
                   State::kRunning,
                   cli::ProgressText(kHalfWritten, 0, -1)},
        StatusCase{"ProgressOfALaterAttempt",
                   {Attempt(2), kOpened, kHalfWritten},
                   State::kRunning,
                   "attempt 2: " + cli::ProgressText(kHalfWritten, 0, -1)},
        StatusCase{"Done", {Attempt(1), Ending(0, QEL_FAILURE_NONE)}, State::kOk, "done ok"},
        StatusCase{"Failed",
                   {Attempt(1), Ending(5008, QEL_FAILURE_WRONG_IMAGE)},
                   State::kFailed,
                   "failed 5008 wrong_image"}),
    CaseName());

// A station's progress block and the lines written around it, all on one screen, with a clock the
// test moves.
class ProgressBlockOn : public testing::Test {
  protected:
    std::unique_ptr<cli::ProgressBlock> Block(const std::vector<std::string>& names,
                                              platform::TerminalSize size = {24, 80}) {
        return std::make_unique<cli::ProgressBlock>(names, m_screen, size, m_writer,
                                                    [this] { return m_now; });
    }
    std::string Screen() {
        std::fflush(m_screen);
        return ReadFileText(m_path);
    }
    // The lines of the block drawn 250 ms later.
    std::vector<std::string> Redrawn() {
        m_now += std::chrono::milliseconds(cli::kRedrawEveryMs);
        m_writer.DrawOverlay();
        const std::string screen = Screen();
        const std::size_t erased = screen.rfind("[1A");
        std::vector<std::string> lines;
        std::size_t from = erased == std::string::npos ? 0 : erased + 4;
        while ((from = screen.find('\n', from)) != std::string::npos) {
            const std::size_t end = std::min(screen.find('\n', from + 1), screen.size());
            lines.push_back(screen.substr(from + 1, end - from - 1));
            from = end;
        }
        return lines;
    }
    void TearDown() override { std::fclose(m_screen); }

    // Erases a block of so many lines and leaves the cursor where the block began.
    static std::string Erasing(int lines) {
        std::string text = "\r\x1b[2K";
        for (int line = 1; line < lines; ++line) {
            text += "\x1b[1A\x1b[2K";
        }
        return text + "\x1b[1A";
    }

    TempDir m_dir;
    std::string m_path = m_dir.Path("screen");
    std::FILE* m_screen = std::fopen(m_path.c_str(), "w+b");
    cli::LineWriter m_writer{m_screen};
    std::chrono::milliseconds m_now{0};
};

TEST_F(ProgressBlockOn, ATerminalStepsAsideForLinesAndRedrawsAtMostEveryQuarterSecond) {
    auto block = Block({"10.0.0.1:262", "/dev/ttyUSB0"});
    block->OnEvent(0, Attempt(1));                                  // drawn at 0 ms: too soon
    m_writer.Write("\n[10.0.0.1:262] Connecting 10.0.0.1:262...");  // erased, too soon to draw
    m_now = std::chrono::milliseconds(200);
    block->OnEvent(1, Attempt(1));  // too soon
    m_now = std::chrono::milliseconds(250);
    block->OnEvent(0, kHalfWritten);
    m_now = std::chrono::milliseconds(400);
    m_writer.Write("\n[/dev/ttyUSB0] Connecting /dev/ttyUSB0...");  // erased, too soon
    m_now = std::chrono::milliseconds(500);
    m_writer.Write("\n[/dev/ttyUSB0] Done.");  // drawn after it
    block.reset();

    const std::string twoRunning = "\n10.0.0.1:262  " + cli::ProgressText(kHalfWritten, 0, -1) +
                                   "\n/dev/ttyUSB0  connecting"
                                   "\n0 waiting, 2 running, 0 done ok, 0 failed";
    EXPECT_EQ(Screen(), "\n2 waiting, 0 running, 0 done ok, 0 failed" + Erasing(1) +
                            "\n[10.0.0.1:262] Connecting 10.0.0.1:262..." + twoRunning +
                            Erasing(3) + "\n[/dev/ttyUSB0] Connecting /dev/ttyUSB0..." +
                            "\n[/dev/ttyUSB0] Done." + twoRunning + Erasing(3));
}

TEST_F(ProgressBlockOn, ASmallTerminalShowsRunningDevicesFirstAndCutsLines) {
    auto block = Block({"a", "b", "c", "d", "e", "f"}, {5, 56});
    block->OnEvent(0, Attempt(1));
    block->OnEvent(0, Ending(0, QEL_FAILURE_NONE));
    for (std::size_t device = 1; device < 5; ++device) {
        block->OnEvent(device, Attempt(1));
    }
    EXPECT_EQ(Redrawn(),
              (std::vector<std::string>{"b  connecting", "c  connecting", "d  connecting",
                                        "1 waiting, 4 running, 1 done ok, 0 failed, 2 not shown"}))
        << "room for three devices and the counts below the last line written";

    block.reset();
    block = Block({"a", "b"});
    block->OnEvent(1, Attempt(1));
    block->OnEvent(0, Attempt(1));
    block->OnEvent(0, Ending(0, QEL_FAILURE_NONE));
    EXPECT_EQ(Redrawn(), (std::vector<std::string>{"a  done ok", "b  connecting",
                                                   "0 waiting, 1 running, 1 done ok, 0 failed"}))
        << "with room for all, every device that began, in their order";

    block.reset();
    block = Block({"a"}, {24, 12});
    block->OnEvent(0, Attempt(1));
    EXPECT_EQ(Redrawn(), (std::vector<std::string>{"a  connecti", "0 waiting, "}))
        << "one short of the width: a wrapped line would throw the cursor movement off";
}

#ifndef _WIN32
bool PrintsAll(const qel_event&) {
    return true;
}

TEST(ProgressLine, RedrawsInPlaceOnATerminalAndStepsAsideForText) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    std::FILE* terminal = fdopen(open(pty.SlavePath(), O_WRONLY | O_NOCTTY), "w");
    ASSERT_NE(terminal, nullptr);
    {
        cli::ProgressLine line(qel::SilentEventSink(), &PrintsAll, terminal);
        line.OnEvent(Progress(QEL_PHASE_WRITE, 1, 100, 0));
        line.OnEvent(Progress(QEL_PHASE_WRITE, 2, 100, 100));  // within 250 ms: not drawn
        line.OnEvent(Progress(QEL_PHASE_WRITE, 50, 100, 300));
        line.OnEvent(Line(QEL_EVENT_ERROR, 5021, "\nERROR: ..."));
    }
    std::fclose(terminal);
    const std::string shown = pty.Receive(4096, 500);
    EXPECT_EQ(shown.find("\n"), std::string::npos) << "no line break of its own";
    EXPECT_EQ(shown.rfind("\rwrite          1%", 0), 0u) << shown;
    EXPECT_EQ(shown.find(" 2/100"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\rwrite         50%  50/100 pages"), std::string::npos) << shown;
    // Blanked before the error's text, and left blank.
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.back(), '\r');
    const std::size_t blankFrom = shown.rfind('\r', shown.size() - 2);
    EXPECT_EQ(shown.find_first_not_of(' ', blankFrom + 1), shown.size() - 1) << shown;
}

TEST(ProgressBlock, StartsOnlyOnATerminalAndTakesItsSize) {
    PtyPair pty;
    ASSERT_TRUE(pty.IsOpen());
    const winsize window{40, 100, 0, 0};
    ASSERT_EQ(ioctl(pty.Master(), TIOCSWINSZ, &window), 0);
    std::FILE* terminal = fdopen(open(pty.SlavePath(), O_WRONLY | O_NOCTTY), "w");
    ASSERT_NE(terminal, nullptr);
    platform::TerminalSize size{};
    EXPECT_TRUE(platform::StartAnsiTerminal(terminal, size));
    EXPECT_EQ(size.rows, 40);
    EXPECT_EQ(size.columns, 100);
    std::fclose(terminal);
    TempDir dir;
    std::FILE* file = std::fopen(dir.Path("not-a-terminal").c_str(), "w");
    EXPECT_FALSE(platform::StartAnsiTerminal(file, size));
    std::fclose(file);
}
#endif

}  // namespace
