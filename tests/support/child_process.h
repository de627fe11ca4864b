// A child process for end-to-end tests: started with its arguments, its standard output read
// through a pipe with a deadline, and always ended by its own process id.
#pragma once

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

class ChildProcess {
  public:
    using Clock = std::chrono::steady_clock;

    // Starts program with arguments; standard output (and standard error, when mergeStderr) come
    // through a pipe, or standard error goes to the file stderrFile when one is named. Standard
    // input is /dev/null.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 bool mergeStderr = false, const std::string& stderrFile = {}) {
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        if (mergeStderr) {
            posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
        } else if (!stderrFile.empty()) {
            posix_spawn_file_actions_addopen(&actions, 2, stderrFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        m_output = pipeEnds[0];
    }

    ~ChildProcess() {
        if (m_pid > 0 && !m_exitStatus) {
            kill(m_pid, SIGKILL);
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
        if (m_output >= 0) {
            close(m_output);
        }
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // The next line of output (without its line break), or nothing when the deadline passes or
    // the output ends first.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            const auto lineEnd = m_buffer.find('\n');
            if (lineEnd != std::string::npos) {
                std::string line = m_buffer.substr(0, lineEnd);
                m_buffer.erase(0, lineEnd + 1);
                return line;
            }
            if (!ReadSome(deadline)) {
                return std::nullopt;
            }
        }
    }

    // Waits for the exit and collects all remaining output; nothing when the deadline passes
    // (the process is then killed).
    std::optional<int> Wait(std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        while (ReadSome(deadline)) {
        }
        return Reap(deadline);
    }

    // Asks the process to end (SIGTERM) and waits for it.
    std::optional<int> Stop(std::chrono::milliseconds limit) {
        if (m_pid > 0 && !m_exitStatus) {
            kill(m_pid, SIGTERM);
        }
        return Wait(limit);
    }

    // Stops reading the output, as a reader that goes away early: the process's further writes
    // to it fail.
    void CloseOutput() {
        if (m_output >= 0) {
            close(m_output);
            m_output = -1;
        }
    }

    // Everything read so far that was not taken by ReadLine.
    const std::string& Output() const { return m_buffer; }

  private:
    bool ReadSome(Clock::time_point deadline) {
        if (m_output < 0) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{m_output, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t got = read(m_output, chunk, sizeof chunk);
        if (got <= 0) {
            CloseOutput();
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    std::optional<int> Reap(Clock::time_point deadline) {
        if (m_exitStatus) {
            return m_exitStatus;
        }
        if (m_pid <= 0) {
            return std::nullopt;
        }
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t done = waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return m_exitStatus;
            }
            pollfd none{-1, 0, 0};
            poll(&none, 0, 10);  // a short wait for the child to finish, not a pause under test
        }
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_exitStatus = 128 + SIGKILL;
        return std::nullopt;
    }

    pid_t m_pid = -1;
    int m_output = -1;
    std::string m_buffer;
    std::optional<int> m_exitStatus;
};
#endif
