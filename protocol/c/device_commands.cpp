// The device's service commands through the C interface: each checks its arguments, runs the
// library's command on the handle's protocol object and copies the result out.
#include <cstring>

#include "c_boundary.h"
#include "device_handle.h"
#include "memory_range.h"

namespace {

using qel::c::Guarded;

// A block read into a record of the library, handed to the caller only on success.
template <class Record, class... Extra>
std::int32_t ReadRecord(qel_device* device, std::uint8_t* out, std::uint32_t size,
                        int (QelProtocol::*command)(Record*, Extra...), Extra... extra) {
    return Guarded([&] {
        if (device == nullptr || out == nullptr) {
            return qel::kErrArgument;
        }
        if (size < sizeof(Record)) {
            return qel::kErrBufferSize;
        }
        Record record{};
        const int result = device->WhenOpen(
            [&](QelProtocol& protocol) { return (protocol.*command)(&record, extra...); });
        if (result == qel::kOk) {
            std::memcpy(out, record.bytes, sizeof record.bytes);
        }
        return result;
    });
}

template <class Record>
std::int32_t WriteRecord(qel_device* device, const std::uint8_t* in, std::uint32_t size,
                         int (QelProtocol::*command)(const Record*)) {
    return Guarded([&] {
        if (device == nullptr || in == nullptr) {
            return qel::kErrArgument;
        }
        if (size != sizeof(Record)) {
            return qel::kErrBufferSize;
        }
        Record record{};
        std::memcpy(record.bytes, in, sizeof record.bytes);
        return device->WhenOpen(
            [&](QelProtocol& protocol) { return (protocol.*command)(&record); });
    });
}

// A range of no bytes needs no buffer.
bool MissingRangeArgument(const qel_device* device, const void* bytes, std::uint32_t size) {
    return device == nullptr || (bytes == nullptr && size != 0);
}

}  // namespace

extern "C" {

int32_t qel_read_config(qel_device* device, uint8_t* config, uint32_t size) {
    return ReadRecord(device, config, size, &QelProtocol::ReadConfiguration);
}

int32_t qel_write_config(qel_device* device, const uint8_t* config, uint32_t size) {
    return WriteRecord(device, config, size, &QelProtocol::WriteConfiguration);
}

int32_t qel_read_clock(qel_device* device, uint8_t* clock, uint32_t size) {
    return ReadRecord(device, clock, size, &QelProtocol::ReadSystemTime);
}

int32_t qel_write_clock(qel_device* device, const uint8_t* clock, uint32_t size) {
    return WriteRecord(device, clock, size, &QelProtocol::WriteSystemTime);
}

int32_t qel_read_data(qel_device* device, uint8_t code, uint8_t* data, uint32_t size) {
    return ReadRecord(device, data, size, &QelProtocol::ReadData, code);
}

int32_t qel_read_memory(qel_device* device, uint32_t address, uint8_t* bytes, uint32_t size) {
    return Guarded([&] {
        if (MissingRangeArgument(device, bytes, size)) {
            return qel::kErrArgument;
        }
        return device->WhenOpen([&](QelProtocol& protocol) {
            return qel::ReadMemoryRange(protocol, address, bytes, size).code;
        });
    });
}

int32_t qel_write_memory(qel_device* device, uint32_t address, const uint8_t* bytes,
                         uint32_t size) {
    return Guarded([&] {
        if (MissingRangeArgument(device, bytes, size)) {
            return qel::kErrArgument;
        }
        return device->WhenOpen([&](QelProtocol& protocol) {
            return qel::WriteMemoryRange(protocol, address, bytes, size).code;
        });
    });
}

int32_t qel_crc16(qel_device* device, uint32_t address, uint32_t size, uint16_t* crc) {
    return Guarded([&] {
        if (device == nullptr || crc == nullptr) {
            return qel::kErrArgument;
        }
        return device->WhenOpen([&](QelProtocol& protocol) {
            return protocol.ReadMemoryCRC16(static_cast<int>(address), size, *crc);
        });
    });
}

int32_t qel_read_raw_data(qel_device* device, uint8_t* data, uint32_t capacity, uint32_t* length) {
    return Guarded([&] {
        if (device == nullptr || data == nullptr || length == nullptr) {
            return qel::kErrArgument;
        }
        if (capacity < QEL_RAW_DATA_BYTES) {
            return qel::kErrBufferSize;
        }
        std::uint16_t decoded = 0;
        const int result = device->WhenOpen(
            [&](QelProtocol& protocol) { return protocol.ReadRawData(data, decoded); });
        if (result == qel::kOk) {
            *length = decoded;
        }
        return result;
    });
}

int32_t qel_reset(qel_device* device) {
    return Guarded([&] {
        return device == nullptr
                   ? qel::kErrArgument
                   : device->WhenOpen([](QelProtocol& protocol) { return protocol.Reset(); });
    });
}

}  // extern "C"
