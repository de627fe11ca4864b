// Fixed-size blocks that the device keeps and the library moves byte for byte.
#pragma once

#include <cstdint>

// The device's configuration block, in wire order.
struct _qel_configuration {
    std::uint8_t bytes[34];
};

// The device's clock value, in wire order.
struct _qel_system_time {
    std::uint8_t bytes[16];
};

// The payload of a data reply (ReadData), in wire order.
struct _read_data_reply_data {
    std::uint8_t bytes[93];
};

static_assert(sizeof(_qel_configuration) == 34);
static_assert(sizeof(_qel_system_time) == 16);
static_assert(sizeof(_read_data_reply_data) == 93);
