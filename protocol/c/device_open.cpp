// Opening and closing a device through the C interface.
#include <cstring>
#include <memory>

#include "c_boundary.h"
#include "device_handle.h"

namespace {

constexpr std::int32_t kHighestTcpPort = 65535;
constexpr std::int32_t kHighestComPort = 255;

// Opens the channel of a new handle; the handle is the caller's only when it opened.
std::int32_t OpenHandle(std::unique_ptr<qel_device> handle, qel_device** device) {
    const int result = handle->Channel().Open(handle->OpenRecord());
    if (result != qel::kOk) {
        return result;
    }
    *device = handle.release();
    return qel::kOk;
}

}  // namespace

extern "C" {

int32_t qel_open_tcp(const char* address, int32_t port, int32_t timeout_ms, qel_device** device) {
    return qel::c::Guarded([&] {
        if (device == nullptr) {
            return qel::kErrArgument;
        }
        *device = nullptr;
        _socket_open_params params{port, timeout_ms, {}};
        // The record's port keeps only 16 bits and its text 23 characters: refuse rather than
        // reach another port or host.
        if (address == nullptr || std::strlen(address) >= sizeof params.address || port < 1 ||
            port > kHighestTcpPort || timeout_ms < 0) {
            return qel::kErrArgument;
        }
        std::strcpy(params.address, address);
        return OpenHandle(std::make_unique<qel_device>(params), device);
    });
}

int32_t qel_open_serial(int32_t port, const char* device_path, int32_t timeout_ms,
                        qel_device** device) {
    return qel::c::Guarded([&] {
        if (device == nullptr) {
            return qel::kErrArgument;
        }
        *device = nullptr;
        const bool portNamesTheDevice = device_path == nullptr;
        if ((portNamesTheDevice && (port < 1 || port > kHighestComPort)) ||
            (!portNamesTheDevice && device_path[0] == '\0') || timeout_ms < 0) {
            return qel::kErrArgument;
        }
        const _serial_open_params params{port, timeout_ms};
        return OpenHandle(std::make_unique<qel_device>(params, device_path), device);
    });
}

void qel_close(qel_device* device) {
    delete device;  // closing a channel throws nothing
}

}  // extern "C"
