/* The C interface driven from a C program against qel-sim: every service command over TCP, the
 * checks of its arguments, a refused connection, the loader and downloads with their events.
 * Usage: qel_c_test <qel-sim program> <examples folder> */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "qel.h"
#include "sim_process.h"

#define CHECK(condition) check((condition) != 0, #condition, __LINE__)
#define CHECK_CODE(call, expected) check_code((call), (expected), #call, __LINE__)

static int g_failures;

static void check(int passed, const char* text, int line) {
    if (!passed) {
        fprintf(stderr, "  line %d: %s\n", line, text);
        ++g_failures;
    }
}

static void check_code(int32_t code, int32_t expected, const char* call, int line) {
    if (code != expected) {
        fprintf(stderr, "  line %d: %s gave %d (%s), not %d\n", line, call, (int)code,
                qel_result_text(code), (int)expected);
        ++g_failures;
    }
}

/* CRC-16/ARC, computed here without the library. */
static uint16_t crc16_arc(const uint8_t* bytes, uint32_t count) {
    unsigned crc = 0;
    uint32_t i;
    int bit;
    for (i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
    }
    return (uint16_t)crc;
}

typedef struct fixture {
    qel_device* device;
    const char* sim_program;
    const char* examples;
} fixture;

static void configuration_round_trip(fixture* f) {
    uint8_t config[QEL_CONFIG_BYTES + 1];
    uint8_t written[QEL_CONFIG_BYTES];
    int i;
    memset(config, 0xEE, sizeof config);
    CHECK_CODE(qel_read_config(f->device, config, sizeof config), QEL_OK);
    CHECK(memcmp(config, "QEL-SIM", 7) == 0);
    CHECK(config[QEL_CONFIG_BYTES] == 0xEE); /* nothing past the block */
    for (i = 0; i < QEL_CONFIG_BYTES; ++i) {
        written[i] = (uint8_t)(0xC0 + i);
    }
    CHECK_CODE(qel_write_config(f->device, written, sizeof written), QEL_OK);
    CHECK_CODE(qel_read_config(f->device, config, QEL_CONFIG_BYTES), QEL_OK);
    CHECK(memcmp(config, written, sizeof written) == 0);
}

/* Eight little-endian fields: year, month, day of week, day, hour, minute, second, ms. */
static void clock_round_trip(fixture* f) {
    static const uint8_t set[QEL_CLOCK_BYTES] = {0xD1, 0x07, 2, 0, 6, 0, 3, 0,
                                                 4,    0,    5, 0, 6, 0, 0, 0};
    uint8_t bad[QEL_CLOCK_BYTES];
    uint8_t clock[QEL_CLOCK_BYTES];
    CHECK_CODE(qel_write_clock(f->device, set, sizeof set), QEL_OK);
    CHECK_CODE(qel_read_clock(f->device, clock, sizeof clock), QEL_OK);
    /* 2001-02-03 04:05, the seconds run on */
    CHECK(memcmp(clock, set, 4) == 0 && memcmp(clock + 6, set + 6, 6) == 0);
    memcpy(bad, set, sizeof bad);
    bad[2] = 13; /* month 13: the device refuses it */
    CHECK_CODE(qel_write_clock(f->device, bad, sizeof bad), 5007);
}

/* An odd size at an odd address, over a background whose bytes past the range must stay. */
static void memory_round_trip(fixture* f) {
    enum { kSize = 301, kPast = 16 };
    const uint32_t address = 0x12345;
    uint8_t background[kSize + kPast];
    uint8_t pattern[kSize];
    uint8_t back[kSize + kPast];
    uint16_t crc = 0;
    int i;
    for (i = 0; i < kSize + kPast; ++i) {
        background[i] = (uint8_t)(0xA0 ^ i);
    }
    for (i = 0; i < kSize; ++i) {
        pattern[i] = (uint8_t)(i * 7 + 3);
    }
    CHECK_CODE(qel_write_memory(f->device, address, background, sizeof background), QEL_OK);
    CHECK_CODE(qel_write_memory(f->device, address, pattern, sizeof pattern), QEL_OK);
    CHECK_CODE(qel_read_memory(f->device, address, back, sizeof back), QEL_OK);
    CHECK(memcmp(back, pattern, kSize) == 0);
    CHECK(memcmp(back + kSize, background + kSize, kPast) == 0);
    CHECK_CODE(qel_crc16(f->device, address, kSize, &crc), QEL_OK);
    CHECK(crc == crc16_arc(pattern, kSize));
    CHECK_CODE(qel_write_memory(f->device, address, NULL, 0), QEL_OK);
}

static void raw_data_and_data(fixture* f) {
    uint8_t raw[QEL_RAW_DATA_BYTES];
    uint8_t data[QEL_DATA_BYTES];
    uint32_t length = 0;
    CHECK_CODE(qel_read_raw_data(f->device, raw, sizeof raw, &length), QEL_OK);
    CHECK(length == 16 && raw[1] == 17 && raw[15] == 0xFF);
    CHECK_CODE(qel_read_data(f->device, 0x30, data, sizeof data), QEL_OK);
    CHECK(data[0] == 0xD0 && data[QEL_DATA_BYTES - 1] == (uint8_t)(0xD0 + QEL_DATA_BYTES - 1));
}

static void refuses_bad_arguments(fixture* f) {
    uint8_t block[QEL_RAW_DATA_BYTES];
    uint32_t length = 0;
    qel_device* other = f->device;
    CHECK_CODE(qel_read_config(NULL, block, QEL_CONFIG_BYTES), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_read_config(f->device, NULL, QEL_CONFIG_BYTES), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_read_config(f->device, block, QEL_CONFIG_BYTES - 1), QEL_ERR_BUFFER_SIZE);
    CHECK_CODE(qel_write_clock(f->device, block, QEL_CLOCK_BYTES + 1), QEL_ERR_BUFFER_SIZE);
    CHECK_CODE(qel_read_data(f->device, 0x30, block, QEL_DATA_BYTES - 1), QEL_ERR_BUFFER_SIZE);
    CHECK_CODE(qel_read_raw_data(f->device, block, QEL_RAW_DATA_BYTES - 1, &length),
               QEL_ERR_BUFFER_SIZE);
    CHECK_CODE(qel_read_memory(f->device, 0xFFFFFF01u, block, 256), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_crc16(f->device, 0, 1, NULL), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_reset(NULL), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_open_tcp("127.0.0.1", 0, 5000, &other), QEL_ERR_ARGUMENT);
    CHECK(other == NULL);
    CHECK_CODE(qel_open_tcp("127.0.0.1", 65536, 5000, &other), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_open_tcp("a-host-name-of-24-chars.", 262, 5000, &other), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_open_tcp(NULL, 262, 5000, &other), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_open_serial(0, NULL, 1000, &other), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_open_serial(1, "", 1000, &other), QEL_ERR_ARGUMENT);
    /* the device still answers */
    CHECK_CODE(qel_read_config(f->device, block, QEL_CONFIG_BYTES), QEL_OK);
}

static void reset(fixture* f) {
    CHECK_CODE(qel_reset(f->device), QEL_OK);
}

/* The port of a simulator that has ended: nobody listens there any more. */
static void refused_connection(fixture* f) {
    qel_device* device = NULL;
    sim_process* sim = sim_start(f->sim_program, 10000);
    int port;
    CHECK(sim != NULL);
    if (sim == NULL) {
        return;
    }
    port = sim_port(sim);
    sim_stop(sim);
    CHECK_CODE(qel_open_tcp("127.0.0.1", port, 5000, &device), 5020);
    CHECK(device == NULL);
    qel_close(NULL);
}

static void loader(fixture* f) {
    char path[1024];
    const char* bad_path = "qel_c_test_bad.hex";
    uint8_t* image = NULL;
    int32_t first = 0;
    int32_t end = 0;
    FILE* bad;
    snprintf(path, sizeof path, "%s/blinky.hex", f->examples);
    CHECK_CODE(qel_read_file(path, &image, &first, &end), QEL_OK);
    CHECK(image != NULL && first == 0x3000 && end == 0x4864);
    if (image != NULL) {
        CHECK(image[0x3000] == 0xA5 && image[0x4863] == 0x61 && image[0x4864] == 0xFF);
    }
    qel_free_image(image);
    bad = fopen(bad_path, "w");
    CHECK(bad != NULL);
    if (bad != NULL) {
        fputs(":10300000NOTHEX\n", bad);
        fclose(bad);
    }
    image = (uint8_t*)path; /* set to null by the failure */
    CHECK_CODE(qel_read_file(bad_path, &image, &first, &end), 2103);
    CHECK(image == NULL);
    remove(bad_path);
    CHECK_CODE(qel_read_file(path, NULL, &first, &end), -1);
    qel_free_image(NULL);
}

/* What a download's callback saw. cancel_in_phase: the phase whose first progress cancels. */
typedef struct event_log {
    qel_device* device;
    int cancel_in_phase;
    int events;
    int progress;
    int last_pages_done;
    int result_events;
    qel_event last;
} event_log;

static void log_event(void* context, const qel_event* event) {
    event_log* log = (event_log*)context;
    ++log->events;
    log->last = *event;
    if (event->kind == QEL_EVENT_RESULT) {
        ++log->result_events;
    }
    if (event->kind != QEL_EVENT_PROGRESS) {
        return;
    }
    ++log->progress;
    log->last_pages_done = event->pages_done;
    if (event->phase == log->cancel_in_phase) {
        qel_cancel(log->device);
    }
}

static int32_t download_logged(qel_device* device, const char* path, event_log* log,
                               const qel_download_options* options, qel_download_result* result) {
    memset(log, 0, sizeof *log);
    log->device = device;
    log->cancel_in_phase = -1;
    qel_set_event_callback(device, log_event, log);
    return qel_download(device, path, options, result, sizeof *result);
}

/* blinky.hex's application image as the device must hold it at 0x40000: the 64-byte header
 * (magic, data length, CRC16 of the data, CRC16 of the header), the data, zero fill to whole
 * pages. Returns its size. */
static uint32_t expected_image(const char* path, uint8_t* image, uint32_t capacity) {
    uint8_t* file = NULL;
    int32_t first = 0;
    int32_t end = 0;
    uint32_t length;
    uint32_t size;
    if (qel_read_file(path, &file, &first, &end) != QEL_OK) {
        return 0;
    }
    length = (uint32_t)(end - first);
    size = (length + 64) / 256 * 256 + 256;
    if (size <= capacity) {
        uint16_t crc;
        memset(image, 0, size);
        memcpy(image + 64, file + first, length);
        image[0] = 0x5A, image[1] = 0xFF, image[2] = 0x00, image[3] = 0xA5;
        image[4] = (uint8_t)length, image[5] = (uint8_t)(length >> 8);
        crc = crc16_arc(file + first, length);
        image[8] = (uint8_t)crc, image[9] = (uint8_t)(crc >> 8);
        crc = crc16_arc(image, 62);
        image[62] = (uint8_t)crc, image[63] = (uint8_t)(crc >> 8);
    }
    qel_free_image(file);
    return size <= capacity ? size : 0;
}

/* A whole download with progress to the last data page, the memory read back exact, and the
 * handle's channel open again for a service command. */
static void download_into_simulator(fixture* f) {
    static uint8_t expected[0x4000];
    static uint8_t back[0x4000];
    char path[1024];
    qel_download_options options;
    qel_download_result result;
    event_log log;
    uint32_t size;
    snprintf(path, sizeof path, "%s/blinky.hex", f->examples);
    size = expected_image(path, expected, sizeof expected);
    CHECK(size == 0x1900);
    CHECK_CODE(qel_download_options_init(&options, sizeof options), QEL_OK);
    options.verify = QEL_VERIFY_FULL;
    options.pause_ms = 0;
    CHECK_CODE(download_logged(f->device, path, &log, &options, &result), QEL_OK);
    CHECK(result.ok == 1 && result.code == 0 && result.exit_status == QEL_EXIT_SUCCESS);
    CHECK(result.failure == QEL_FAILURE_NONE && result.attempts == 1);
    CHECK(result.pages_written == (int32_t)(size / 256) && result.seconds >= 0);
    CHECK(log.progress > 2 && log.result_events == 1 && log.last.kind == QEL_EVENT_RESULT);
    CHECK(log.last.ok == 1 && strstr(log.last.text, "successfully") != NULL);
    CHECK_CODE(qel_read_memory(f->device, 0x40000, back, size), QEL_OK);
    CHECK(memcmp(back, expected, size) == 0);
    qel_set_event_callback(f->device, NULL, NULL);
}

static void download_cancelled_from_callback(fixture* f) {
    char path[1024];
    qel_download_result result;
    event_log log;
    snprintf(path, sizeof path, "%s/blinky.hex", f->examples);
    qel_cancel(f->device); /* forgotten when the download starts */
    CHECK_CODE(qel_download(f->device, path, NULL, &result, sizeof result), QEL_OK);
    CHECK(result.ok == 1);
    memset(&log, 0, sizeof log);
    log.device = f->device;
    log.cancel_in_phase = QEL_PHASE_WRITE;
    qel_set_event_callback(f->device, log_event, &log);
    CHECK_CODE(qel_download(f->device, path, NULL, &result, sizeof result), QEL_OK);
    CHECK(result.ok == 0 && result.failure == QEL_FAILURE_CANCELLED && result.code == 5033);
    CHECK(result.exit_status == QEL_EXIT_NOT_DONE && result.attempts == 1);
    CHECK(log.last.kind == QEL_EVENT_RESULT && log.last.failure == QEL_FAILURE_CANCELLED);
    CHECK(log.last_pages_done < 5);
    qel_set_event_callback(f->device, NULL, NULL);
}

/* Refused calls leave *result untouched; a file that does not load is a result with status 1. */
static void download_refusals(fixture* f) {
    qel_download_options options;
    qel_download_result result;
    memset(&result, 0x5A, sizeof result);
    qel_download_options_init(&options, sizeof options);
    CHECK_CODE(qel_download(NULL, "x.hex", NULL, &result, sizeof result), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_download(f->device, NULL, NULL, &result, sizeof result), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_download(f->device, "x.hex", NULL, &result, sizeof result - 1),
               QEL_ERR_BUFFER_SIZE);
    options.mode = QEL_MODE_BLIND + 1;
    CHECK_CODE(qel_download(f->device, "x.hex", &options, &result, sizeof result),
               QEL_ERR_ARGUMENT);
    options.mode = QEL_MODE_ALL;
    options.size = 4;
    CHECK_CODE(qel_download(f->device, "x.hex", &options, &result, sizeof result),
               QEL_ERR_BUFFER_SIZE);
    CHECK(result.ok == 0x5A5A5A5A);
    qel_download_options_init(&options, sizeof options);
    options.retries = 11;
    CHECK_CODE(qel_download(f->device, "x.hex", &options, &result, sizeof result),
               QEL_ERR_ARGUMENT);
    /* a caller of the first version, whose options end before retries */
    options.size = (uint32_t)offsetof(qel_download_options, retries);
    CHECK_CODE(qel_download(f->device, "no such file.hex", &options, &result, sizeof result),
               QEL_OK);
    CHECK_CODE(qel_download_options_init(&options, 4), QEL_ERR_BUFFER_SIZE);
    CHECK_CODE(qel_cancel(NULL), QEL_ERR_ARGUMENT);
    CHECK_CODE(qel_download(f->device, "no such file.hex", NULL, &result, sizeof result), QEL_OK);
    CHECK(result.ok == 0 && result.failure == QEL_FAILURE_FILE && result.code == 2103);
    CHECK(result.exit_status == QEL_EXIT_BEFORE_RUN && result.attempts == 0);
}

/* A device that has gone: every attempt is refused, and the download says so. */
static void download_refused_connection(fixture* f) {
    char path[1024];
    qel_device* device = NULL;
    qel_download_options options;
    qel_download_result result;
    event_log log;
    sim_process* sim = sim_start(f->sim_program, 10000);
    CHECK(sim != NULL);
    if (sim == NULL) {
        return;
    }
    CHECK_CODE(qel_open_tcp("127.0.0.1", sim_port(sim), 5000, &device), QEL_OK);
    sim_stop(sim);
    snprintf(path, sizeof path, "%s/blinky.hex", f->examples);
    qel_download_options_init(&options, sizeof options);
    options.attempts = 2;
    options.pause_ms = 0;
    CHECK_CODE(download_logged(device, path, &log, &options, &result), QEL_OK);
    CHECK(result.ok == 0 && result.failure == QEL_FAILURE_UNREACHABLE && result.code == 5020);
    CHECK(result.exit_status == QEL_EXIT_NOT_DONE && result.attempts == 2);
    CHECK(log.last.kind == QEL_EVENT_RESULT && log.last.code == 5020);
    qel_close(device);
}

static void version(fixture* f) {
    (void)f;
    CHECK(strcmp(qel_version(), QEL_EXPECTED_VERSION) == 0);
    CHECK(strstr(qel_result_text(5020), "refused") != NULL);
    CHECK(strcmp(qel_result_text(123456), "unknown result code") == 0);
}

typedef struct test_case {
    const char* name;
    void (*run)(fixture* f);
    int needs_device;
} test_case;

static const test_case kCases[] = {
    {"version and result texts", version, 0},
    {"configuration block read, written and read back", configuration_round_trip, 1},
    {"clock written and read back; a bad date refused", clock_round_trip, 1},
    {"memory of an odd size at an odd address, and its CRC16", memory_round_trip, 1},
    {"raw data and a data reply", raw_data_and_data, 1},
    {"bad arguments refused with their codes", refuses_bad_arguments, 1},
    {"reset", reset, 1},
    {"a refused connection gives 5020", refused_connection, 0},
    {"the loader on a good and a bad file", loader, 0},
    {"a download with its events, read back exact", download_into_simulator, 1},
    {"a download cancelled from its callback", download_cancelled_from_callback, 1},
    {"downloads refused, and a file that does not load", download_refusals, 1},
    {"a download to a device that has gone", download_refused_connection, 0},
};

int main(int argc, char** argv) {
    fixture f;
    sim_process* sim;
    size_t i;
    int32_t opened;
    if (argc != 3) {
        fprintf(stderr, "usage: %s <qel-sim> <examples folder>\n", argv[0]);
        return 2;
    }
    f.sim_program = argv[1];
    f.examples = argv[2];
    f.device = NULL;
    sim = sim_start(f.sim_program, 10000);
    if (sim == NULL) {
        fprintf(stderr, "cannot start %s\n", f.sim_program);
        return 1;
    }
    opened = qel_open_tcp("127.0.0.1", sim_port(sim), 5000, &f.device);
    check_code(opened, QEL_OK, "qel_open_tcp", __LINE__);
    for (i = 0; i < sizeof kCases / sizeof kCases[0]; ++i) {
        const int before = g_failures;
        if (kCases[i].needs_device && f.device == NULL) {
            ++g_failures;
        } else {
            kCases[i].run(&f);
        }
        printf("%s - %s\n", g_failures == before ? "ok" : "FAILED", kCases[i].name);
    }
    qel_close(f.device);
    sim_stop(sim);
    printf("%d failure(s)\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
