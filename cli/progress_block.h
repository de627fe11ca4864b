// The progress display of a station on a terminal: below the devices' lines, a block on standard
// error with a line for each device that has begun (its name, then the progress line's words or
// how far it got) and a last line that counts the devices waiting, running, done and failed.
// Cursor movement (ANSI escape sequences) redraws it in place at most every 250 ms as the devices
// report. As an overlay of the writer of the devices' lines it is erased before each line and
// drawn again after it when 250 ms have passed, else at the next event after that.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "event_sink.h"
#include "line_writer.h"
#include "platform.h"
#include "progress_line.h"

namespace cli {

// How far one device got, from its events.
class DeviceStatus {
  public:
    enum class State { kWaiting, kRunning, kOk, kFailed };

    void Follow(const qel_event& event);
    State Now() const { return m_state; }
    // "waiting", "connecting", "attempt 3: connecting", "attempt 3: cannot connect (5020)", the
    // progress line's words, "done ok" or "failed 5008 wrong_image".
    const std::string& Words() const { return m_words; }

  private:
    State m_state = State::kWaiting;
    std::string m_words = "waiting";
    int m_attempt = 0;
    ProgressMeter m_meter;
};

class ProgressBlock final : public LineWriter::Overlay {
  public:
    using Clock = std::function<std::chrono::milliseconds()>;

    // One line for each of the names at most (in their order); drawn at once, and erased when the
    // block goes.
    ProgressBlock(const std::vector<std::string>& names, std::FILE* terminal,
                  platform::TerminalSize size, LineWriter& writer, Clock clock = SteadyClock);
    ~ProgressBlock();
    ProgressBlock(const ProgressBlock&) = delete;
    ProgressBlock& operator=(const ProgressBlock&) = delete;

    // What the device at index reported, from its own thread.
    void OnEvent(std::size_t index, const qel_event& event);

    // Called by the writer under its lock.
    void Erase() override;
    void Draw() override;

    static std::chrono::milliseconds SteadyClock();

  private:
    std::vector<std::string> Lines() const;
    std::string EraseText() const;
    bool Due() const;

    std::vector<std::string> m_names;  // padded to the widest
    std::vector<DeviceStatus> m_devices;
    std::FILE* m_terminal;
    platform::TerminalSize m_size;
    LineWriter& m_writer;
    Clock m_clock;
    mutable std::mutex m_lock;  // the devices' status and what is on the screen
    std::size_t m_shown = 0;    // lines of the block on the screen
    std::optional<std::chrono::milliseconds> m_drawnAt;
};

// A device's sink in front of its own: tells the block what the device reports, then hands on.
class ProgressBlockFeed final : public qel::EventSink {
  public:
    ProgressBlockFeed(ProgressBlock& block, std::size_t index, qel::EventSink& next)
        : m_block(block), m_index(index), m_next(next) {}
    void OnEvent(const qel_event& event) override {
        m_block.OnEvent(m_index, event);
        m_next.OnEvent(event);
    }

  private:
    ProgressBlock& m_block;
    std::size_t m_index;
    qel::EventSink& m_next;
};

}  // namespace cli
