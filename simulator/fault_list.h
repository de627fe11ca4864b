// The faults a request met, named in a comma-separated list for the request log, and the test of
// whether an option's set of request numbers names a request.
#pragma once

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <string_view>

namespace qelsim {

inline void AddFault(std::string& faults, std::string_view name) {
    if (name.empty()) {
        return;
    }
    if (!faults.empty()) {
        faults += ',';
    }
    faults += name;
}

inline bool Names(const std::set<std::uint32_t>& numbers, std::size_t number) {
    return number <= std::numeric_limits<std::uint32_t>::max() &&
           numbers.count(static_cast<std::uint32_t>(number)) != 0;
}

}  // namespace qelsim
