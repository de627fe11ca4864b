// A simulated device: its memory, its blocks, the boot loader's image check and the faults it
// shows, driven one request line at a time. Transports feed it lines; tests can call it directly.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "clock_block.h"
#include "device_frame.h"
#include "device_options.h"

namespace qelsim {

inline constexpr std::size_t kPageSize = 256;

struct RequestRecord {
    std::uint8_t command;  // 0 when the line was too short to hold one
    std::uint8_t messageId;
    std::uint32_t address;  // from the memory record of 0x18, 0x1A and 0x1C, else 0
    std::uint32_t length;   // likewise
    bool answered;          // a reply left the device
    std::string faults;     // comma-separated: unreadable, silent, drop, corrupt, wrong-id,
                            // status, lie-crc, flip-read; empty when none applied
    std::optional<std::uint8_t> status = std::nullopt;  // for replies that carry one
};

class DeviceModel {
  public:
    explicit DeviceModel(DeviceOptions options = {});

    // One request line (the text before its CR). Returns the reply's wire text including its
    // trailing CR, or nullopt when the device stays silent (unreadable request or a fault).
    std::optional<std::string> HandleRequest(std::string_view line);

    std::vector<std::uint8_t>& Memory() { return m_memory; }
    const std::vector<std::uint8_t>& Memory() const { return m_memory; }
    // Every request received, in order; with a history limit, the latest ones only.
    const std::vector<RequestRecord>& Requests() const { return m_requests; }
    // Requests received so far: the number of the latest one.
    std::size_t RequestCount() const { return m_requestCount; }
    // "boot ok" or "boot failed: ..." after the latest reset; empty before the first.
    std::string LastBootVerdict() const { return m_bootVerdict; }
    std::uint32_t ResetCount() const { return m_resets; }
    const std::array<std::uint8_t, kConfigurationSize>& Configuration() const {
        return m_options.configuration;
    }
    ClockBlockBytes SystemTime() const { return m_clock.Read(Now()); }
    // Faults may be changed between requests.
    DeviceOptions& Options() { return m_options; }

    // Called with the verdict after every boot check, before the reset's reply is handed out.
    void SetBootObserver(std::function<void(const std::string&)> observer) {
        m_bootObserver = std::move(observer);
    }

  private:
    struct Answer {
        std::vector<std::uint8_t> body;  // reply bytes after the message id, before the CRC16
        bool hasStatus = false;
        bool resetAccepted = false;
    };

    WallTime Now() const;
    bool StaysSilent();
    Answer Dispatch(const RequestFrame& request, RequestRecord& record, bool refuse);
    Answer WithStatus(std::uint8_t status) const;
    Answer WithRecord(std::uint8_t status, const std::vector<std::uint8_t>& record) const;
    Answer WriteConfiguration(const RequestFrame& request, bool refuse);
    Answer WriteSystemTime(const RequestFrame& request, bool refuse);
    Answer ReadRawData() const;
    Answer WritePage(const RequestFrame& request, bool refuse);
    Answer ReadPage(const RequestFrame& request, bool refuse, RequestRecord& noted) const;
    bool RefusesWriteAt(const RequestFrame& request, const RequestRecord& record);
    Answer MemoryCrc16(const RequestFrame& request, bool refuse, RequestRecord& record) const;
    bool InMemory(std::uint64_t address, std::uint64_t length) const;
    void Boot();
    std::string Finish(const RequestFrame& request, Answer answer, RequestRecord& record);

    DeviceOptions m_options;
    std::vector<std::uint8_t> m_memory;
    std::vector<RequestRecord> m_requests;
    std::size_t m_requestCount = 0;
    DeviceClock m_clock;
    std::string m_bootVerdict;
    std::uint32_t m_resets = 0;
    std::uint32_t m_silentRequestsLeft = 0;
    std::uint32_t m_writesRefused = 0;
    std::optional<WallTime> m_silentUntil;
    std::function<void(const std::string&)> m_bootObserver;
};

}  // namespace qelsim
