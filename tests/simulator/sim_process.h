// A qel-sim process for tests: started with its options, its first output line read with a
// deadline, ended by its own process id. Standard error goes to a file beside the test's.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace simtest {

class SimProcess {
  public:
    SimProcess(const std::vector<std::string>& arguments, const std::string& stderrPath) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string program = QEL_SIM_PROGRAM;
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        m_output = ends[0];
    }

    ~SimProcess() {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        if (m_output >= 0) {
            close(m_output);
        }
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // The next output line without its line break; nullopt at the deadline or end of output.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const auto end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string line = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return line;
            }
            if (!ReadMore(deadline)) {
                return std::nullopt;
            }
        }
    }

    // Everything until the output ends (the process exits), bounded by the limit.
    std::string ReadAll(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (ReadMore(deadline)) {
        }
        return std::exchange(m_buffer, {});
    }

    // Sends the signal and waits for the exit status; nullopt when it does not end in time.
    std::optional<int> Stop(int signal = SIGTERM,
                            std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, signal);
        }
        return Wait(limit);
    }

    std::optional<int> Wait(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (m_pid > 0 && !m_status && std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));  // polls a child's exit
        }
        return m_status;
    }

  private:
    bool ReadMore(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{m_output, POLLIN, 0};
        if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char chunk[512];
        const ssize_t n = read(m_output, chunk, sizeof chunk);
        if (n <= 0) {
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_buffer;
    std::optional<int> m_status;
};

}  // namespace simtest
