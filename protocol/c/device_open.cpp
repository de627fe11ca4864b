// Opening and closing a device through the C interface.
#include <cstring>
#include <memory>

#include "c_boundary.h"
#include "device_handle.h"

namespace {

constexpr std::int32_t kHighestTcpPort = 65535;
constexpr std::int32_t kHighestComPort = 255;

// Hands a new handle over, its channel opened first when asked: then the handle is the caller's
// only when it opened.
std::int32_t HandOver(std::unique_ptr<qel_device> handle, bool openNow, qel_device** device) {
    const int result = openNow ? handle->Open() : qel::kOk;
    if (result != qel::kOk) {
        return result;
    }
    *device = handle.release();
    return qel::kOk;
}

std::int32_t MakeTcp(const char* address, int32_t port, int32_t timeout_ms, bool openNow,
                     qel_device** device) {
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
        return HandOver(std::make_unique<qel_device>(params), openNow, device);
    });
}

std::int32_t MakeSerial(int32_t port, const char* device_path, int32_t timeout_ms, bool openNow,
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
        return HandOver(std::make_unique<qel_device>(params, device_path), openNow, device);
    });
}

}  // namespace

extern "C" {

int32_t qel_open_tcp(const char* address, int32_t port, int32_t timeout_ms, qel_device** device) {
    return MakeTcp(address, port, timeout_ms, true, device);
}

int32_t qel_create_tcp(const char* address, int32_t port, int32_t timeout_ms, qel_device** device) {
    return MakeTcp(address, port, timeout_ms, false, device);
}

int32_t qel_open_serial(int32_t port, const char* device_path, int32_t timeout_ms,
                        qel_device** device) {
    return MakeSerial(port, device_path, timeout_ms, true, device);
}

int32_t qel_create_serial(int32_t port, const char* device_path, int32_t timeout_ms,
                          qel_device** device) {
    return MakeSerial(port, device_path, timeout_ms, false, device);
}

void qel_close(qel_device* device) {
    delete device;  // closing a channel throws nothing
}

int32_t qel_set_event_callback(qel_device* device, qel_event_callback callback, void* context) {
    if (device == nullptr) {
        return qel::kErrArgument;
    }
    device->events.Set(callback, context);
    return qel::kOk;
}

}  // extern "C"
