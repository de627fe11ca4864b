#include <vector>

#include "binary_file.h"
#include "crc16_arc.h"
#include "memory_range.h"
#include "service_commands.h"

namespace service {
namespace {

void ShowBlock(void* context, std::uint32_t block, std::uint32_t blocks) {
    static_cast<Report*>(context)->Progress(Format("\rBlock %u of %u", block + 1, blocks));
}

void AddRange(Report& report, const ServiceRequest& request) {
    report.Add("address", "Address", HexNumber{request.address, 8});
    report.Add("size", "Size", std::uint64_t{request.size});
}

Outcome BlockFailure(const qel::RangeResult& result) {
    return Outcome::Device(result.code,
                           Format("Cannot %s the block at 0x%08X.",
                                  result.whileReading ? "read" : "write", result.blockAddress));
}

Outcome ReadRange(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    std::vector<std::uint8_t> bytes(request.size);
    report.Progress(Format("\nReading %u bytes from 0x%08X...\n", request.size, request.address));
    const qel::RangeResult result = qel::ReadMemoryRange(protocol, request.address, bytes.data(),
                                                         request.size, {&ShowBlock, &report});
    if (result.code != qel::kOk) {
        return BlockFailure(result);
    }
    AddRange(report, request);
    report.Add("file", "File", request.file);
    // The file is written only once the whole range has arrived, never in part.
    if (!WriteBinaryFile(request.file, bytes)) {
        return Outcome::Local("Cannot write file [" + request.file + "].");
    }
    return Outcome::Ok();
}

Outcome WriteRange(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    report.Progress(Format("\nWriting %u bytes to 0x%08X...\n", request.size, request.address));
    const qel::RangeResult result = qel::WriteMemoryRange(
        protocol, request.address, request.bytes.data(), request.size, {&ShowBlock, &report});
    if (result.code != qel::kOk) {
        return BlockFailure(result);
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
