// The blocks a fresh simulated device reports: recognisable patterns, so that a test can tell
// them from zero fill or from a shifted copy.
#include <cstring>

#include "device_options.h"

namespace qelsim {

std::array<std::uint8_t, kConfigurationSize> DefaultConfiguration() {
    std::array<std::uint8_t, kConfigurationSize> block{};
    constexpr char kName[] = "QEL-SIM";
    std::memcpy(block.data(), kName, sizeof kName - 1);
    for (std::size_t i = 8; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i);
    }
    return block;
}

std::array<std::uint8_t, kDataPayloadSize> DefaultDataPayload() {
    std::array<std::uint8_t, kDataPayloadSize> block{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(0xD0 + i);
    }
    return block;
}

RawDataReply DefaultRawData() {
    RawDataReply raw;
    raw.info = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    raw.valueOffset = 0;
    raw.encoding = 0;
    for (std::uint8_t value = 0; value < 16; ++value) {
        raw.data.push_back(static_cast<std::uint8_t>(value * 17));
    }
    return raw;
}

}  // namespace qelsim
