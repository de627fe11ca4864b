// Whole lines to one stream, from any number of sinks in any number of threads: each line is
// written and flushed under a lock, so that lines of two devices never mix within a line.
#pragma once

#include <cstdio>
#include <mutex>
#include <string_view>

namespace cli {

class LineWriter {
  public:
    // A display drawn on the same screen from another stream (a station's progress block on
    // standard error): the writer erases it before each write and has it drawn again after, under
    // its lock, so that no written line lands inside it.
    class Overlay {
      public:
        virtual void Erase() = 0;
        // Draws the display as it is now, over what is left of it on the screen, when its pace
        // allows; else it stays as it is until a later call.
        virtual void Draw() = 0;

      protected:
        ~Overlay() = default;
    };

    explicit LineWriter(std::FILE* stream) : m_stream(stream) {}

    // Writes text and a line break, then flushes, so that a reader sees each line as it comes.
    void WriteLine(std::string_view text);
    // Writes text as it is (the texts of the default output carry their own line breaks).
    void Write(std::string_view text);

    // Erases the overlay there is, and draws the new one (null: none).
    void SetOverlay(Overlay* overlay);
    // Has the overlay drawn again, between two writes.
    void DrawOverlay();

  private:
    void WriteLocked(std::string_view text, bool lineBreak);

    std::FILE* m_stream;
    std::mutex m_lock;
    Overlay* m_overlay = nullptr;
};

// The writer of standard output that every sink of the process shares.
LineWriter& StandardOutput();

}  // namespace cli
