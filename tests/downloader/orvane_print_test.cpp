#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "event_sink.h"
#include "orvane_print.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orvane_test {
namespace {

#ifndef _WIN32
// Points stdout at a pipe for the lifetime of the object; what was printed can be read at once
// without waiting, so a message still sitting in stdio's buffer reads as missing.
class StdoutPipe {
  public:
    StdoutPipe() {
        std::fflush(stdout);
        if (pipe(m_pipe) == 0) {
            fcntl(m_pipe[0], F_SETFL, O_NONBLOCK);
            m_saved = dup(STDOUT_FILENO);
            dup2(m_pipe[1], STDOUT_FILENO);
        }
    }
    ~StdoutPipe() {
        std::fflush(stdout);
        if (m_saved >= 0) {
            dup2(m_saved, STDOUT_FILENO);
            close(m_saved);
        }
        close(m_pipe[0]);
        close(m_pipe[1]);
    }
    StdoutPipe(const StdoutPipe&) = delete;
    StdoutPipe& operator=(const StdoutPipe&) = delete;

    bool Ready() const { return m_saved >= 0; }
    std::string Available() const {
        char buffer[256];
        const ssize_t count = read(m_pipe[0], buffer, sizeof buffer);
        return count > 0 ? std::string(buffer, static_cast<std::size_t>(count)) : std::string();
    }

  private:
    int m_pipe[2] = {-1, -1};
    int m_saved = -1;
};

TEST(OrvanePrint, EachMessageReachesStdoutBeforeTheNextStep) {
    StdoutPipe out;
    ASSERT_TRUE(out.Ready());
    orvane::Print(qel::DefaultEventSink(), QEL_EVENT_INFO, "\nConnecting %s:%d...", "127.0.0.1",
                  262);
    EXPECT_EQ(out.Available(), "\nConnecting 127.0.0.1:262...");
    orvane::Print(qel::DefaultEventSink(), QEL_EVENT_INFO, "\nDone.");
    EXPECT_EQ(out.Available(), "\nDone.");
}

TEST(DefaultEventSink, EachTextReachesStdoutBeforeTheNextStep) {
    StdoutPipe out;
    ASSERT_TRUE(out.Ready());
    qel_event event = qel::MakeEvent(QEL_EVENT_INFO);
    event.text = "\nConnecting 127.0.0.1:262...";
    qel::DefaultEventSink().OnEvent(event);
    EXPECT_EQ(out.Available(), "\nConnecting 127.0.0.1:262...");
    // The silent sink prints nothing, and neither does the default sink for an event without text.
    qel::SilentEventSink().OnEvent(event);
    event.text = "";
    qel::DefaultEventSink().OnEvent(event);
    EXPECT_EQ(out.Available(), "");
}
#endif

}  // namespace
}  // namespace orvane_test
