// Runs the real qel-sim and the real Orvane as processes: the simulator on a free loopback port or
// a pseudo-terminal, the program against it, then the simulator's memory dump for comparison.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "expected_image.h"
#include "output_checks.h"
#include "simulator_readiness.h"
#include "temp_dir.h"

namespace e2e {

using namespace std::chrono_literals;

inline constexpr std::uint32_t kImageBase = 0x40000;

struct ProgramRun {
    std::optional<int> exitStatus;
    std::string output;
};

// Runs a program to its end (or kills it at the limit) and keeps what it printed; its standard
// error goes to stderrFile when one is named.
inline ProgramRun RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                             std::chrono::seconds limit, const std::string& stderrFile = {}) {
    ChildProcess program(path, arguments, false, stderrFile);
    ProgramRun run;
    run.exitStatus = program.Wait(limit);
    run.output = program.Output();
    return run;
}

class EndToEnd : public ::testing::Test {
  protected:
    void TearDown() override { m_simulators.clear(); }

    // Starts qel-sim number index (the one most tests need is 0) with a dump file of its own and
    // the given extra options; returns the port, or the pty path, from its first line.
    std::string StartSimulator(const std::vector<std::string>& options, bool pty = false,
                               int index = 0) {
        std::vector<std::string> arguments = options;
        if (pty) {
            arguments.push_back("--pty");
        } else {
            arguments.insert(arguments.end(), {"--tcp", "0"});
        }
        arguments.insert(arguments.end(), {"--dump", DumpPath(index), "--log", LogPath(index)});
        auto& simulator = m_simulators[index];
        simulator = std::make_unique<ChildProcess>(QEL_SIM_PATH, arguments);
        EXPECT_TRUE(simulator->Started());
        const auto where = ReadSimulatorReadiness(*simulator, 10s);
        EXPECT_TRUE(where.has_value()) << "qel-sim printed no readiness line";
        return where.value_or("");
    }

    static ProgramRun RunOrvane(const std::vector<std::string>& arguments,
                                std::chrono::seconds limit = 120s,
                                const std::string& stderrFile = {}) {
        return RunProgram(ORVANE_PATH, arguments, limit, stderrFile);
    }

    ProgramRun DownloadOverTcp(const std::string& port, const std::string& file,
                               const std::vector<std::string>& extra = {}) {
        std::vector<std::string> arguments = {"/c=tcp", "/i=127.0.0.1", "/p=" + port, "/f=" + file};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunOrvane(arguments);
    }

    // Ends the simulator (which writes its dump) and returns its memory.
    std::vector<std::uint8_t> StopSimulatorAndReadMemory(int index = 0) {
        const auto simulator = m_simulators.find(index);
        if (simulator != m_simulators.end()) {
            EXPECT_TRUE(simulator->second->Stop(10s).has_value());
        }
        return ReadFileBytes(DumpPath(index));
    }

    std::string SimulatorLog(int index = 0) const { return ReadFileText(LogPath(index)); }

    static std::vector<std::uint8_t> ExpectedApplicationImage(const std::string& hexFile) {
        const auto firmware = expected::ReadHex(hexFile);
        EXPECT_TRUE(firmware.has_value()) << hexFile;
        return firmware ? expected::ApplicationImage(*firmware) : std::vector<std::uint8_t>{};
    }

    static void ExpectImageInMemory(const std::vector<std::uint8_t>& memory,
                                    const std::vector<std::uint8_t>& image) {
        ASSERT_GE(memory.size(), kImageBase + image.size());
        const std::vector<std::uint8_t> stored(memory.begin() + kImageBase,
                                               memory.begin() + kImageBase + image.size());
        EXPECT_TRUE(stored == image) << "the device does not hold the application image";
    }

    std::string DumpPath(int index = 0) const {
        return m_dir.Path(index == 0 ? "memory.bin" : "memory" + std::to_string(index) + ".bin");
    }
    std::string LogPath(int index) const {
        return m_dir.Path(index == 0 ? "sim.log" : "sim" + std::to_string(index) + ".log");
    }

    TempDir m_dir;
    std::map<int, std::unique_ptr<ChildProcess>> m_simulators;
};

inline std::string Example(const std::string& name) {
    return std::string(QEL_EXAMPLES_DIR) + "/" + name;
}

using orvane_test::CountOf;

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace e2e
