// Names of the event record's numbers, for JSON and logs, and the exit status of each failure.
#include <cstddef>

#include "qel_event.h"

namespace {

template <std::size_t N>
const char* NameIn(const char* const (&names)[N], int32_t value) {
    return value >= 0 && static_cast<std::size_t>(value) < N ? names[value] : "unknown";
}

constexpr const char* kKindNames[] = {"unknown", "trace", "step",     "attempt", "open",   "info",
                                      "warning", "error", "progress", "start",   "result", "retry"};
constexpr const char* kPhaseNames[] = {"none",      "load",  "prepare",      "open",
                                       "clear",     "write", "header",       "verify_crc",
                                       "read_back", "reset", "device_check", "compare"};
constexpr const char* kFailureNames[] = {"none",        "options",  "file",        "setup",
                                         "unreachable", "exchange", "wrong_image", "cancelled"};

}  // namespace

extern "C" const char* qel_event_kind_name(int32_t kind) {
    return NameIn(kKindNames, kind);
}

extern "C" const char* qel_phase_name(int32_t phase) {
    return NameIn(kPhaseNames, phase);
}

extern "C" const char* qel_failure_name(int32_t failure) {
    return NameIn(kFailureNames, failure);
}

extern "C" int32_t qel_exit_status_of(int32_t failure) {
    switch (failure) {
        case QEL_FAILURE_NONE:
            return QEL_EXIT_SUCCESS;
        case QEL_FAILURE_OPTIONS:
        case QEL_FAILURE_FILE:
        case QEL_FAILURE_SETUP:
            return QEL_EXIT_BEFORE_RUN;
        case QEL_FAILURE_WRONG_IMAGE:
            return QEL_EXIT_WRONG_IMAGE;
        default:
            return QEL_EXIT_NOT_DONE;
    }
}
