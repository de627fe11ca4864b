// What qel-sim leaves for tests and people: the JSON log, the memory dump, the boot verdict on
// standard error.
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <span>
#include <string>

#include "device_model.h"

namespace qelsim {

class SimOutputs {
  public:
    SimOutputs(std::string logPath, std::string dumpPath);

    bool LogOpen() const { return m_logPath.empty() || m_log.is_open(); }

    // One line: {"event":"request","n":..,"command":..,"id":..,"address":..,"length":..,
    // "answered":..,"status":..,"faults":".."}; status is null for replies without one.
    void LogRequest(std::size_t number, const RequestRecord& record, const std::string& lineFaults);
    // {"event":"boot","verdict":".."}, and the verdict on standard error.
    void LogBoot(const std::string& verdict);
    // {"event":"noise","to":"device"|"host","bits":..,"total":..[,"n":..]}: bits flipped in one
    // piece of text, the running total that way, and the request whose reply was struck.
    void LogNoise(const char* to, std::uint64_t bits, std::uint64_t total,
                  std::optional<std::size_t> number);
    // {"event":"close","reason":".."}: the device dropped its line; a note for the operator, when
    // given, goes to standard error.
    void LogClose(const std::string& reason, const std::string& note = {});
    // At exit, when the line was noisy: the flips of each way, in the log and on standard error.
    void LogNoiseSummary(std::uint64_t toDevice, std::uint64_t toHost);
    // Replaces the dump file as a whole, so that a reader never sees half of it.
    bool WriteDump(std::span<const std::uint8_t> memory) const;

  private:
    void WriteLine(const std::string& line);

    std::string m_logPath;
    std::string m_dumpPath;
    std::ofstream m_log;
};

// The text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace qelsim
