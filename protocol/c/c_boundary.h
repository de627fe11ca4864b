// The edge between the C interface and the C++ library: nothing thrown inside crosses it.
// Internal to the library.
#pragma once

#include <cstdint>

#include "qel_codes.h"

namespace qel::c {

// The body's result code, or kErrInternal when it throws (there is no other way for a C caller
// to learn of, say, memory that ran out).
template <class Body>
std::int32_t Guarded(Body&& body) noexcept {
    try {
        return static_cast<std::int32_t>(body());
    } catch (...) {
        return kErrInternal;
    }
}

}  // namespace qel::c
