// A pause that a cancel flag cuts short. Internal to the library.
#pragma once

#include <atomic>

#include "qel_sleep.h"

namespace qel {

// Pauses through qel::Sleep; with a cancel flag in slices of at most 100 ms, so that a cancel
// during a long pause (a minute between device checks) takes effect within a slice. Without one,
// or for no time at all, it is the one pause it always was.
inline void SleepUnlessCancelled(unsigned long milliseconds, const std::atomic<bool>* cancel) {
    constexpr unsigned long kSliceMs = 100;
    if (cancel == nullptr || milliseconds == 0) {
        Sleep(milliseconds);
        return;
    }
    for (unsigned long left = milliseconds; left > 0 && !cancel->load();) {
        const unsigned long slice = left < kSliceMs ? left : kSliceMs;
        Sleep(slice);
        left -= slice;
    }
}

}  // namespace qel
