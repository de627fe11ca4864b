// The byte channel through which the protocol engine talks to a device, and the records that
// open its two implementations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qel_export.h"

// Opens a serial channel. Both records start with the same two fields, so that a caller can print
// the port through either.
struct _serial_open_params {
    std::int32_t port;     // serial port as the operator counts it: 1 is COM1
    std::int32_t timeout;  // read time-out in milliseconds
};

// Opens a TCP channel.
struct _socket_open_params {
    std::int32_t port;     // TCP port of the device; only the low 16 bits are used
    std::int32_t timeout;  // read time-out in milliseconds
    char address[24];      // NUL-terminated host text, dotted IPv4 in the program
};

static_assert(sizeof(_serial_open_params) == 8);
static_assert(offsetof(_serial_open_params, port) == 0);
static_assert(offsetof(_serial_open_params, timeout) == 4);
static_assert(sizeof(_socket_open_params) == 32);
static_assert(offsetof(_socket_open_params, port) == 0);
static_assert(offsetof(_socket_open_params, timeout) == 4);
static_assert(offsetof(_socket_open_params, address) == 8);

// Four operations in this slot order and no virtual destructor: channel objects are destroyed
// through their own class.
struct ICommChannel {
    // Opens the channel with its open-parameter record; 0 when ready for Write and Read.
    virtual int Open(void* params) = 0;
    // Releases the transport; harmless on a channel that is already closed.
    virtual void Close() = 0;
    // Sends exactly length bytes; 0 when all were handed to the transport, else a failure code.
    virtual int Write(char* data, int length) = 0;
    // Receives exactly length bytes into buffer (no terminator written); 0 on success, else a
    // failure code. Bytes beyond length stay in the channel for the next Read.
    virtual int Read(char* buffer, int length) = 0;
};

// What a channel over a line of known speed can do besides ICommChannel: say how fast its line
// is and take another read time-out. Opt-in: the engine works with any ICommChannel, and uses this
// only to wait for a lost reply no longer than the line needs.
struct ILineTiming {
    // Characters a second in each direction; 0 when the speed is not known.
    virtual int CharactersPerSecond() = 0;
    // The time-out of every following Read, in milliseconds.
    virtual int ReadTimeout() = 0;
    virtual void SetReadTimeout(int milliseconds) = 0;
};
