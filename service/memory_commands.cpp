#include <algorithm>
#include <vector>

#include "binary_file.h"
#include "crc16_arc.h"
#include "service_commands.h"

namespace service {
namespace {

std::uint32_t BlockCount(std::uint32_t size) {
    return (size + kBlockBytes - 1) / kBlockBytes;
}

std::uint32_t BlockAddress(const ServiceRequest& request, std::uint32_t block) {
    return request.address + block * kBlockBytes;
}

void ShowBlock(Report& report, std::uint32_t block, std::uint32_t blocks) {
    report.Progress(Format("\rBlock %u of %u", block + 1, blocks));
}

void AddRange(Report& report, const ServiceRequest& request) {
    report.Add("address", "Address", HexNumber{request.address, 8});
    report.Add("size", "Size", std::uint64_t{request.size});
}

Outcome BlockFailure(int result, const char* verb, std::uint32_t address) {
    return Outcome::Device(result, Format("Cannot %s the block at 0x%08X.", verb, address));
}

Outcome ReadRange(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    const std::uint32_t blocks = BlockCount(request.size);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(blocks) * kBlockBytes);
    report.Progress(Format("\nReading %u bytes from 0x%08X...\n", request.size, request.address));
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const std::uint32_t address = BlockAddress(request, block);
        const int result =
            protocol.ReadMemory(static_cast<int>(address), bytes.data() + block * kBlockBytes);
        if (result != qel::kOk) {
            return BlockFailure(result, "read", address);
        }
        ShowBlock(report, block, blocks);
    }
    bytes.resize(request.size);
    AddRange(report, request);
    report.Add("file", "File", request.file);
    // The file is written only once the whole range has arrived, never in part.
    if (!WriteBinaryFile(request.file, bytes)) {
        return Outcome::Local("Cannot write file [" + request.file + "].");
    }
    return Outcome::Ok();
}

// The last block of a file that ends inside it: the device's own bytes fill the rest, so that
// writing the file changes nothing beyond it.
int FillPartialBlock(QelProtocol& protocol, std::uint32_t address, const std::uint8_t* tail,
                     std::size_t tailBytes, std::uint8_t* block) {
    const int result = protocol.ReadMemory(static_cast<int>(address), block);
    if (result == qel::kOk) {
        std::copy(tail, tail + tailBytes, block);
    }
    return result;
}

Outcome WriteRange(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    const std::uint32_t blocks = BlockCount(request.size);
    report.Progress(Format("\nWriting %u bytes to 0x%08X...\n", request.size, request.address));
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const std::uint32_t address = BlockAddress(request, block);
        const std::size_t offset = static_cast<std::size_t>(block) * kBlockBytes;
        const std::size_t inFile = std::min<std::size_t>(kBlockBytes, request.size - offset);
        std::uint8_t data[kBlockBytes];
        if (inFile < kBlockBytes) {
            const int result =
                FillPartialBlock(protocol, address, request.bytes.data() + offset, inFile, data);
            if (result != qel::kOk) {
                return BlockFailure(result, "read", address);
            }
        } else {
            std::copy_n(request.bytes.data() + offset, kBlockBytes, data);
        }
        const int result = protocol.WriteMemory(static_cast<int>(address), data);
        if (result != qel::kOk) {
            return BlockFailure(result, "write", address);
        }
        ShowBlock(report, block, blocks);
    }
    AddRange(report, request);
    report.Add("file", "File", request.file);
    return Outcome::Ok();
}

Outcome CompareCrc(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    std::uint16_t deviceCrc = 0;
    const int result =
        protocol.ReadMemoryCRC16(static_cast<int>(request.address), request.size, deviceCrc);
    if (result != qel::kOk) {
        return Outcome::Device(result, "Cannot read the device's CRC16.");
    }
    AddRange(report, request);
    report.Add("deviceCrc", "Device CRC16", HexNumber{deviceCrc, 4});
    if (request.file.empty()) {
        return Outcome::Ok();
    }
    const std::uint16_t fileCrc = Crc16Arc(request.bytes.data(), request.bytes.size());
    report.Add("file", "File", request.file);
    report.Add("fileCrc", "File CRC16", HexNumber{fileCrc, 4});
    report.Add("match", "Match", fileCrc == deviceCrc);
    if (fileCrc != deviceCrc) {
        return Outcome::Device(qel::kErrImageCrcMismatch,
                               "The device's CRC16 differs from the file's.");
    }
    return Outcome::Ok();
}

}  // namespace

Outcome RunMemoryCommand(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    switch (request.command) {
        case Command::kReadMemory:
            return ReadRange(protocol, request, report);
        case Command::kWriteMemory:
            return WriteRange(protocol, request, report);
        default:
            return CompareCrc(protocol, request, report);
    }
}

}  // namespace service
