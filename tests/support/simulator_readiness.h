// qel-sim tells where it serves in its first line: "listening ADDRESS:PORT" or "pty PATH".
#pragma once

#ifndef _WIN32
#include <chrono>
#include <optional>
#include <string>

#include "child_process.h"

// The port or the pty path of the simulator's first line; nothing when no such line comes within
// the limit.
inline std::optional<std::string> ReadSimulatorReadiness(ChildProcess& simulator,
                                                         std::chrono::milliseconds limit) {
    const auto line = simulator.ReadLine(limit);
    if (line && line->rfind("listening ", 0) == 0 && line->find(':') != std::string::npos) {
        return line->substr(line->rfind(':') + 1);
    }
    if (line && line->rfind("pty ", 0) == 0) {
        return line->substr(4);
    }
    return std::nullopt;
}
#endif
