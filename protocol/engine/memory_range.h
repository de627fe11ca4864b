// Memory ranges of any address and size, moved as the device's 256-byte blocks: one memory
// command per block, so that a program need not cut a range into blocks itself.
#pragma once

#include <cstdint>

#include "qel_export.h"

class QelProtocol;

namespace qel {

inline constexpr std::uint32_t kMemoryBlockBytes = 256;

// How a range transfer ended: code 0, or the failing block command's result code with the
// address of that block and whether it was a read (a write reads its last block first when the
// range ends inside it). A range whose blocks run past the end of the 32-bit address space is
// refused with kErrArgument before anything is sent.
struct RangeResult {
    int code;
    std::uint32_t blockAddress;
    bool whileReading;
};

// Told after every block that has been moved (block counts from 0).
struct RangeProgress {
    void (*blockDone)(void* context, std::uint32_t block, std::uint32_t blocks);
    void* context;
};

// Whether every block of the range lies inside the 32-bit address space (the last block is moved
// whole, also past the range's end).
QEL_API bool RangeFitsAddressSpace(std::uint32_t address, std::uint32_t size);

// Reads size bytes from address into bytes, which receive nothing past size.
QEL_API RangeResult ReadMemoryRange(QelProtocol& protocol, std::uint32_t address,
                                    std::uint8_t* bytes, std::uint32_t size,
                                    RangeProgress progress = {});

// Writes size bytes at address. When the range ends inside a block, that block is read first and
// the device's bytes past the range are written back unchanged.
QEL_API RangeResult WriteMemoryRange(QelProtocol& protocol, std::uint32_t address,
                                     const std::uint8_t* bytes, std::uint32_t size,
                                     RangeProgress progress = {});

}  // namespace qel
