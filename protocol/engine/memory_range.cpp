#include "memory_range.h"

#include <algorithm>
#include <cstring>

#include "qel_protocol.h"

namespace qel {
namespace {

std::uint32_t RangeBlockCount(std::uint32_t size) {
    return static_cast<std::uint32_t>((std::uint64_t{size} + kMemoryBlockBytes - 1) /
                                      kMemoryBlockBytes);
}

std::uint32_t BlockAddress(std::uint32_t address, std::uint32_t block) {
    return address + block * kMemoryBlockBytes;
}

// Bytes of the range that fall into the block.
std::size_t InRange(std::uint32_t size, std::uint32_t block) {
    return std::min<std::size_t>(kMemoryBlockBytes, size - std::size_t{block} * kMemoryBlockBytes);
}

void Report(const RangeProgress& progress, std::uint32_t block, std::uint32_t blocks) {
    if (progress.blockDone != nullptr) {
        progress.blockDone(progress.context, block, blocks);
    }
}

int ReadBlock(QelProtocol& protocol, std::uint32_t address, std::uint8_t* block) {
    return protocol.ReadMemory(static_cast<int>(address), block);
}

}  // namespace

bool RangeFitsAddressSpace(std::uint32_t address, std::uint32_t size) {
    const std::uint64_t blocks = RangeBlockCount(size);
    return size == 0 || address + blocks * kMemoryBlockBytes - 1 <= UINT32_MAX;
}

RangeResult ReadMemoryRange(QelProtocol& protocol, std::uint32_t address, std::uint8_t* bytes,
                            std::uint32_t size, RangeProgress progress) {
    if (!RangeFitsAddressSpace(address, size)) {
        return {kErrArgument, address, true};
    }
    const std::uint32_t blocks = RangeBlockCount(size);
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const std::uint32_t blockAddress = BlockAddress(address, block);
        // A block of the caller's is filled only once the reply has passed every test.
        std::uint8_t data[kMemoryBlockBytes];
        const int result = ReadBlock(protocol, blockAddress, data);
        if (result != kOk) {
            return {result, blockAddress, true};
        }
        std::memcpy(bytes + std::size_t{block} * kMemoryBlockBytes, data, InRange(size, block));
        Report(progress, block, blocks);
    }
    return {kOk, 0, false};
}

RangeResult WriteMemoryRange(QelProtocol& protocol, std::uint32_t address,
                             const std::uint8_t* bytes, std::uint32_t size,
                             RangeProgress progress) {
    if (!RangeFitsAddressSpace(address, size)) {
        return {kErrArgument, address, false};
    }
    const std::uint32_t blocks = RangeBlockCount(size);
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const std::uint32_t blockAddress = BlockAddress(address, block);
        const std::size_t inRange = InRange(size, block);
        std::uint8_t data[kMemoryBlockBytes];
        if (inRange < kMemoryBlockBytes) {
            // The device's own bytes past the range go back unchanged.
            const int result = ReadBlock(protocol, blockAddress, data);
            if (result != kOk) {
                return {result, blockAddress, true};
            }
        }
        std::memcpy(data, bytes + std::size_t{block} * kMemoryBlockBytes, inRange);
        const int result = protocol.WriteMemory(static_cast<int>(blockAddress), data);
        if (result != kOk) {
            return {result, blockAddress, false};
        }
        Report(progress, block, blocks);
    }
    return {kOk, 0, false};
}

}  // namespace qel
