/* The C interface of the QelProtocol library, for programs in C, in other languages (through
 * their foreign-function interfaces) and built with other compilers. It uses no C++ type, throws
 * nothing and prints nothing: every function that can fail returns a result code (0 success;
 * qel_result_text gives its meaning) and hands its outputs over through the caller's buffers,
 * whose sizes the caller states. What the library has to say reaches the caller's event
 * callback, when it sets one, and nowhere else. A device handle is used from one thread at a
 * time (qel_cancel excepted); two handles are independent. */
#ifndef QEL_H
#define QEL_H

#include <stdint.h>

#include "qel_event.h"
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

/* Receives the library's events (qel_event.h: kind, phase, fields and the text that Orvane would
 * print), on the thread that does the work, once per event and in order. The event and its text
 * are valid only during the call. context is the caller's, handed back unchanged. From inside the
 * callback, call no function of the library on the handle that reports but qel_cancel. */
typedef void (*qel_event_callback)(void* context, const qel_event* event);

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

/* As qel_open_tcp and qel_open_serial, with the same checks of the arguments, but the channel is
 * not opened yet: the first command opens it, or a download at each of its attempts, as Orvane
 * does (a device that is not there yet is no failure of these calls). */
QEL_API int32_t qel_create_tcp(const char* address, int32_t port, int32_t timeout_ms,
                               qel_device** device);
QEL_API int32_t qel_create_serial(int32_t port, const char* device_path, int32_t timeout_ms,
                                  qel_device** device);

/* Closes the channel and frees the handle; does nothing for null. */
QEL_API void qel_close(qel_device* device);

/* Where the handle's events go from now on: those of its service commands, its channel and its
 * downloads. A new handle has none and reports nothing; a null callback restores that. */
QEL_API int32_t qel_set_event_callback(qel_device* device, qel_event_callback callback,
                                       void* context);

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

/* As qel_read_file, with the loader's messages (errors, phase LOAD) to callback; a null callback
 * drops them. */
QEL_API int32_t qel_read_file_with_events(const char* path, uint8_t** image, int32_t* first,
                                          int32_t* end, qel_event_callback callback, void* context);

/* Releases an image of qel_read_file; does nothing for null. */
QEL_API void qel_free_image(uint8_t* image);

/* Verify methods (Orvane's /v) and run modes (/m) of a download. */
#define QEL_VERIFY_CRC16 1 /* the device's CRC16 of the written range */
#define QEL_VERIFY_FULL 2  /* the CRC16, then every page read back and compared */
#define QEL_MODE_ALL 1     /* write, verify, reset */
#define QEL_MODE_WRITE_ONLY 2
#define QEL_MODE_VERIFY_ONLY 3
#define QEL_MODE_RESET_ONLY 4
#define QEL_MODE_BLIND 5 /* passes over failed steps, then waits for the device to answer */

/* The options of a download, Orvane's command line as numbers. Fill it with
 * qel_download_options_init(&options, sizeof options), then change what differs. Later options
 * are added at the end, with 0 meaning their default: a program built with an older qel.h goes
 * on working, and a library older than the caller's qel.h refuses an option it does not know
 * that is set to anything but 0 (QEL_ERR_ARGUMENT) rather than pass over it. */
typedef struct qel_download_options {
    uint32_t size;  /* the struct's size as the caller knows it: set by qel_download_options_init */
    int32_t verify; /* QEL_VERIFY_CRC16 (default) or QEL_VERIFY_FULL */
    int32_t mode;   /* QEL_MODE_ALL (default) to QEL_MODE_BLIND */
    int32_t attempts;   /* most attempts, 1 or more; 0 (default): Orvane's 100 (without end in blind
                           mode), with the pause after the last failed one too */
    int32_t pause_ms;   /* pause after a failed attempt, 0 or more; default 5000 */
    int32_t retries;    /* a failed exchange sent again in place up to this many times, 0 to 10
                           (/r); 0 (default): the attempt fails at once, as it always has */
    int32_t skip_equal; /* 1: compare first and write only the pages the device does not hold
                           (/s); 0 (default): write every page */
    int32_t pages_in_flight; /* page writes sent ahead of their replies over TCP, 1 to 16 (/w);
                                0 (default): 1. Serial lines and blind mode send one at a time */
} qel_download_options;

/* How a download ended, as Orvane would report it. No padding inside, for every language's
 * foreign-function interface. */
typedef struct qel_download_result {
    double seconds;        /* from the start of the load to the end */
    int32_t ok;            /* 1 when the image is in the device, else 0 */
    int32_t code;          /* the result code that ended a failed download (0 on success) */
    int32_t exit_status;   /* qel_exit_status: what Orvane would exit with */
    int32_t failure;       /* qel_failure: why it failed (qel_failure_name) */
    int32_t attempts;      /* attempts begun */
    int32_t pages_written; /* pages the last attempt wrote */
    int32_t pages_skipped; /* pages the device held already and that were not written again */
} qel_download_result;

/* Sets the first size bytes of options to the defaults (size: sizeof the caller's struct, at
 * least this version's and at most 1024, else QEL_ERR_BUFFER_SIZE). */
QEL_API int32_t qel_download_options_init(qel_download_options* options, uint32_t size);

/* Downloads the Intel HEX file at path into the device as Orvane does: the file loaded and its
 * application image prepared, then attempts over the handle's channel (opened anew for each
 * attempt, closed at the end; the next service command opens it again) until one succeeds, the
 * device is found to hold a wrong image, the attempts run out or qel_cancel stops it. Pauses go
 * through the library's replaceable pause. Events, progress among them, go to the handle's
 * callback; the last one is a RESULT with the same numbers as *result. Returns 0 when the
 * download ran, whatever its end (*result says how it ended: a failed download is a result, not
 * an error of the call); QEL_ERR_ARGUMENT for a null device, path or result, or an option out of
 * range, and QEL_ERR_BUFFER_SIZE for options->size or result_size smaller than this version's
 * structs (the first version's options end before retries; above 1024: a size never set), in which
 * cases nothing runs and *result is untouched. options may be null (all defaults); result_size is
 * sizeof *result. */
QEL_API int32_t qel_download(qel_device* device, const char* path,
                             const qel_download_options* options, qel_download_result* result,
                             uint32_t result_size);

/* Asks the download that runs on the handle to stop: it ends between two steps (or after the
 * pause or the reply it waits for) with failure QEL_FAILURE_CANCELLED and code 5033. The one
 * function that may be called on a handle while another call runs on it: from inside the event
 * callback, or from any other thread. A request made while no download runs is forgotten when
 * the next download starts. */
QEL_API int32_t qel_cancel(qel_device* device);

#ifdef __cplusplus
}
#endif

#endif /* QEL_H */
