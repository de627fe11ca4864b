/* The C interface of the QelProtocol library, for programs in C, in other languages (through
 * their foreign-function interfaces) and built with other compilers. It uses no C++ type, throws
 * nothing and prints nothing: every function that can fail returns a result code (0 success;
 * qel_result_text gives its meaning) and hands its outputs over through the caller's buffers,
 * whose sizes the caller states. A device handle is used from one thread at a time; two handles
 * are independent. */
#ifndef QEL_H
#define QEL_H

#include <stdint.h>

#include "qel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Sizes of the device's blocks and of the loader's image. */
#define QEL_CONFIG_BYTES 34
#define QEL_CLOCK_BYTES 16
#define QEL_DATA_BYTES 93
#define QEL_RAW_DATA_BYTES 1024
#define QEL_IMAGE_BYTES 0x80000

/* Result codes of the interface's own checks; every other code comes from the device, the
 * channel or the loader, as the library's result code table lists them. */
#define QEL_OK 0
#define QEL_ERR_ARGUMENT 5029    /* a null argument, or a value out of range */
#define QEL_ERR_BUFFER_SIZE 5030 /* a buffer too small for the data, or a block of wrong size */
#define QEL_ERR_INTERNAL 5031    /* the library could not finish the call (out of memory) */

/* A device reached over one channel: the channel, the record that opens it and one protocol
 * object, all owned by the handle. */
typedef struct qel_device qel_device;

/* The library's version ("1.2.0"); never null. */
QEL_API const char* qel_version(void);

/* A short English text for any result code; never null, valid for as long as the library is
 * loaded. */
QEL_API const char* qel_result_text(int32_t code);

/* Connects to a device over TCP: address is a host name or dotted IPv4 address of at most 23
 * characters, port 1 to 65535, timeout_ms the wait for each reply (0 or more; Orvane uses 5000).
 * On success *device is a new handle for qel_close; on failure it is set to null. A refused
 * connection gives 5020. */
QEL_API int32_t qel_open_tcp(const char* address, int32_t port, int32_t timeout_ms,
                             qel_device** device);

/* Opens a serial port at 115200 8N1: COM port (1 to 255), or, when device_path is not null, that
 * device (/dev/ttyUSB0, COM10), in which case port only names the line in messages. timeout_ms is
 * the read time-out (0 or more; Orvane uses 1000). *device as for qel_open_tcp. */
QEL_API int32_t qel_open_serial(int32_t port, const char* device_path, int32_t timeout_ms,
                                qel_device** device);

/* Closes the channel and frees the handle; does nothing for null. */
QEL_API void qel_close(qel_device* device);

/* The configuration block (QEL_CONFIG_BYTES) and the system clock (QEL_CLOCK_BYTES). A read
 * needs a buffer of at least the block's size and fills the block's bytes only after the whole
 * reply has passed every test; a write takes exactly the block's size. */
QEL_API int32_t qel_read_config(qel_device* device, uint8_t* config, uint32_t size);
QEL_API int32_t qel_write_config(qel_device* device, const uint8_t* config, uint32_t size);
QEL_API int32_t qel_read_clock(qel_device* device, uint8_t* clock, uint32_t size);
QEL_API int32_t qel_write_clock(qel_device* device, const uint8_t* clock, uint32_t size);

/* Memory of any address and size, moved in 256-byte blocks. A read fills bytes[0..size). A write
 * that ends inside a block reads that block first and writes the device's own bytes past the end
 * back unchanged. A failure ends the transfer at the failing block (earlier blocks of a write are
 * written). A range whose last block runs past address 0xFFFFFFFF gives QEL_ERR_ARGUMENT. */
QEL_API int32_t qel_read_memory(qel_device* device, uint32_t address, uint8_t* bytes,
                                uint32_t size);
QEL_API int32_t qel_write_memory(qel_device* device, uint32_t address, const uint8_t* bytes,
                                 uint32_t size);

/* The device's CRC16 (CRC-16/ARC) of size bytes of its memory from address. */
QEL_API int32_t qel_crc16(qel_device* device, uint32_t address, uint32_t size, uint16_t* crc);

/* The device's raw data, decoded: capacity must be at least QEL_RAW_DATA_BYTES; *length receives
 * the number of bytes stored. */
QEL_API int32_t qel_read_raw_data(qel_device* device, uint8_t* data, uint32_t capacity,
                                  uint32_t* length);

/* The QEL_DATA_BYTES of the device's reply to the request with the given command code; size must
 * be at least QEL_DATA_BYTES. */
QEL_API int32_t qel_read_data(qel_device* device, uint8_t code, uint8_t* data, uint32_t size);

/* Resets the device. */
QEL_API int32_t qel_reset(qel_device* device);

/* Loads an Intel HEX file into a new image of QEL_IMAGE_BYTES (0xFF where the file has no data),
 * as HL_ReadFile does: 0 with *image, *first (lowest stored address) and *end (highest stored
 * end, exclusive); -1 for an empty path or a null output; 2103 when the file does not load or
 * holds no data (*image is then null). Release the image with qel_free_image. The loader keeps
 * state of its own while it reads: one load at a time in a process. */
QEL_API int32_t qel_read_file(const char* path, uint8_t** image, int32_t* first, int32_t* end);

/* Releases an image of qel_read_file; does nothing for null. */
QEL_API void qel_free_image(uint8_t* image);

#ifdef __cplusplus
}
#endif

#endif /* QEL_H */
