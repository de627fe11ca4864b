// The device on its line, apart from how the bytes travel: which request lines it reads and when,
// how long it stays busy, what each reply looks like on the line (line faults and noise) and when
// it leaves. Every time comes from the caller, so tests drive it with a clock of their own.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "bit_noise.h"
#include "device_model.h"
#include "line_assembler.h"
#include "line_io.h"
#include "sim_options.h"
#include "sim_outputs.h"

namespace qelsim {

enum class SessionEnd { kPeerClosed, kClosedByFault, kClosedOnReset, kIdle, kStopped, kFailed };

// The stray character: a hex digit, so that a host cannot skip it as line noise the way it could a
// NUL or a line break, and the first digit of every frame, so that a host hunting for the start of
// a reply takes it for one.
inline constexpr char kStrayCharacter = '5';

// What lives longer than one connection.
struct SimulatedDevice {
    SimulatedDevice(DeviceModel& model, SimOutputs& out, TransportFaults lineFaults)
        : device(model),
          outputs(out),
          faults(std::move(lineFaults)),
          noiseToDevice(faults.noiseBitErrorRate, faults.noiseSeed, 0),
          noiseToHost(faults.noiseBitErrorRate, faults.noiseSeed, 1) {}

    DeviceModel& device;
    SimOutputs& outputs;
    TransportFaults faults;
    bool closeFaultDone = false;
    std::optional<std::string> pendingBoot;  // verdict of a reset, logged after its request
    BitNoise noiseToDevice;
    BitNoise noiseToHost;
};

class DeviceLink {
  public:
    DeviceLink(SimulatedDevice& simulated, SteadyTime start);

    // Bytes from the host, all of them arrived by `complete` (later than now on a paced line).
    // Line noise on the way in strikes here, before the device reads them.
    void Receive(std::string_view bytes, SteadyTime complete);
    // Hands the device every request line whose time has come, and queues the replies.
    void Process(SteadyTime now);
    // The reply text due by now, line noise included; empty when nothing is due.
    std::string TakeDue(SteadyTime now);

    // When Process or TakeDue next has something to do; nullopt when nothing waits.
    std::optional<SteadyTime> NextEvent() const;
    // When the line will have been idle (nothing received, sent or waiting) for the limit;
    // nullopt without a limit or while something waits.
    std::optional<SteadyTime> IdleDeadline(std::chrono::milliseconds limit) const;
    // Set once the device has dropped the line and its last replies have left.
    std::optional<SessionEnd> Ended() const;

  private:
    struct Chunk {
        std::string bytes;
        std::size_t next = 0;
        SteadyTime complete;
    };
    struct QueuedReply {
        SteadyTime due;
        std::string text;
        std::size_t number;
    };

    void HandleLine(std::string_view line, SteadyTime at);
    std::string ShapeReply(const std::string& reply, std::size_t number, std::string& lineFaults);
    std::chrono::milliseconds BusyTime(const RequestRecord& record, std::size_t number,
                                       bool sends) const;

    SimulatedDevice& m_simulated;
    LineAssembler m_assembler;
    std::deque<Chunk> m_input;
    std::deque<QueuedReply> m_queue;
    std::string m_heldReply;
    SteadyTime m_busyUntil;
    SteadyTime m_lastActivity;
    std::optional<SessionEnd> m_ending;
};

}  // namespace qelsim
