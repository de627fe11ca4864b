#include "sim_outputs.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "fault_list.h"

namespace qelsim {

SimOutputs::SimOutputs(std::string logPath, std::string dumpPath)
    : m_logPath(std::move(logPath)), m_dumpPath(std::move(dumpPath)) {
    if (!m_logPath.empty()) {
        m_log.open(m_logPath, std::ios::app);
    }
}

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

void SimOutputs::LogRequest(std::size_t number, const RequestRecord& record,
                            const std::string& lineFaults) {
    std::string faults = record.faults;
    AddFault(faults, lineFaults);
    const std::string status = record.status ? std::to_string(*record.status) : "null";
    WriteLine("{\"event\":\"request\",\"n\":" + std::to_string(number) + ",\"command\":" +
              std::to_string(record.command) + ",\"id\":" + std::to_string(record.messageId) +
              ",\"address\":" + std::to_string(record.address) +
              ",\"length\":" + std::to_string(record.length) +
              ",\"answered\":" + (record.answered ? "true" : "false") + ",\"status\":" + status +
              ",\"faults\":" + JsonString(faults) + "}");
}

void SimOutputs::LogBoot(const std::string& verdict) {
    std::cerr << "qel-sim: " << verdict << std::endl;
    WriteLine("{\"event\":\"boot\",\"verdict\":" + JsonString(verdict) + "}");
}

void SimOutputs::LogNoise(const char* to, std::uint64_t bits, std::uint64_t total,
                          std::optional<std::size_t> number) {
    WriteLine("{\"event\":\"noise\",\"to\":\"" + std::string(to) +
              "\",\"bits\":" + std::to_string(bits) + ",\"total\":" + std::to_string(total) +
              (number ? ",\"n\":" + std::to_string(*number) : std::string()) + "}");
}

void SimOutputs::LogClose(const std::string& reason, const std::string& note) {
    if (!note.empty()) {
        std::cerr << "qel-sim: " << note << std::endl;
    }
    WriteLine("{\"event\":\"close\",\"reason\":" + JsonString(reason) + "}");
}

void SimOutputs::LogNoiseSummary(std::uint64_t toDevice, std::uint64_t toHost) {
    std::cerr << "qel-sim: line noise flipped " << toDevice << " bits to the device and " << toHost
              << " bits to the host" << std::endl;
    WriteLine("{\"event\":\"noise-summary\",\"to_device\":" + std::to_string(toDevice) +
              ",\"to_host\":" + std::to_string(toHost) + "}");
}

void SimOutputs::WriteLine(const std::string& line) {
    if (m_log.is_open()) {
        m_log << line << '\n';
        m_log.flush();
    }
}

bool SimOutputs::WriteDump(std::span<const std::uint8_t> memory) const {
    if (m_dumpPath.empty()) {
        return true;
    }
    const std::string partial = m_dumpPath + ".partial";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(memory.data()),
                   static_cast<std::streamsize>(memory.size()));
        if (!file.good()) {
            std::cerr << "qel-sim: cannot write " << partial << std::endl;
            return false;
        }
    }
    // Unlike std::rename on Windows, this replaces the dump that is already there.
    std::error_code error;
    std::filesystem::rename(partial, m_dumpPath, error);
    if (error) {
        std::cerr << "qel-sim: cannot replace " << m_dumpPath << std::endl;
        return false;
    }
    return true;
}

}  // namespace qelsim
