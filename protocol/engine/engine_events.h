// The fields of the engine's two most common events: a step's result line and a request's trace
// line. Internal to the library.
#pragma once

#include <cstdint>

#include "event_emitter.h"

namespace qel {

// "Write Page. ec = 0", "Reset Remote Device. ec = 0", ...
inline EventFields StepOf(int phase, int ec, unsigned char command, std::uint32_t address) {
    return {
        .kind = QEL_EVENT_STEP, .phase = phase, .code = ec, .command = command, .address = address};
}

// "DBG: Write Page at 0x40100", "DBG: Compare CRC16 at 0x40000, 4096 bytes", ...
inline EventFields TraceOf(int phase, unsigned char command, std::uint32_t address) {
    return {.kind = QEL_EVENT_TRACE, .phase = phase, .command = command, .address = address};
}

}  // namespace qel
