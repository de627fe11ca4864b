/* What the library reports while it works: one record per event, with the exact text that the
   default sink prints, and the numbers a program needs to follow a download without reading
   text. Plain C, so that programs in other languages and compilers can share it. */
#ifndef QEL_EVENT_H
#define QEL_EVENT_H

#include <stdint.h>

#include "qel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Kinds of event. The numbers stay as they are; new kinds get new numbers. */
typedef enum qel_event_kind {
    QEL_EVENT_TRACE = 1,    /* a "DBG: " line of the protocol engine */
    QEL_EVENT_STEP = 2,     /* an upgrade step ended ("Write Page. ec = 0"): phase, address, code */
    QEL_EVENT_ATTEMPT = 3,  /* an attempt begins: a download's (phase OPEN) or an upgrade's */
    QEL_EVENT_OPEN = 4,     /* the channel's open result (code), no text; a line event follows */
    QEL_EVENT_INFO = 5,     /* any other line for the operator */
    QEL_EVENT_WARNING = 6,  /* a "WARNING: " line, or a failure the download goes on after */
    QEL_EVENT_ERROR = 7,    /* an "ERROR: " line, and every message of the file reader */
    QEL_EVENT_PROGRESS = 8, /* no text: phase, pages done and in all, line bytes, elapsed time */
    QEL_EVENT_START = 9,    /* no text: file loaded and image prepared (address to end_address) */
    QEL_EVENT_RESULT = 10,  /* the end of a download; its text is the final message, if any */
    QEL_EVENT_RETRY = 11    /* a request sent again after its reply was lost or garbled: code,
                               command, and the retry's number in attempt */
} qel_event_kind;

/* Phases of a download. */
typedef enum qel_phase {
    QEL_PHASE_NONE = 0, /* outside the phases below */
    QEL_PHASE_LOAD = 1,
    QEL_PHASE_PREPARE = 2,
    QEL_PHASE_OPEN = 3,
    QEL_PHASE_CLEAR = 4,      /* the header page is erased */
    QEL_PHASE_WRITE = 5,      /* the data pages */
    QEL_PHASE_HEADER = 6,     /* the header page, written last */
    QEL_PHASE_VERIFY_CRC = 7, /* the device's CRC16 of the written range */
    QEL_PHASE_READ_BACK = 8,  /* every page read back and compared */
    QEL_PHASE_RESET = 9,
    QEL_PHASE_DEVICE_CHECK = 10, /* blind mode: does the device answer after its reset? */
    QEL_PHASE_COMPARE = 11       /* the device's CRC16s of ranges against the image (/s) */
} qel_phase;

/* Why a download failed. */
typedef enum qel_failure {
    QEL_FAILURE_NONE = 0,
    QEL_FAILURE_OPTIONS = 1,     /* the command line or the settings are refused */
    QEL_FAILURE_FILE = 2,        /* the file cannot be read, or its image is not suitable */
    QEL_FAILURE_SETUP = 3,       /* no channel object, or the socket library does not start */
    QEL_FAILURE_UNREACHABLE = 4, /* the channel never opened */
    QEL_FAILURE_EXCHANGE = 5,    /* the exchange kept failing until the attempts ran out */
    QEL_FAILURE_WRONG_IMAGE = 6, /* the device holds a wrong image (5008, 5011) */
    QEL_FAILURE_CANCELLED = 7    /* the caller's cancel flag stopped it */
} qel_failure;

/* Exit statuses, the same for every program of the project. */
typedef enum qel_exit_status {
    QEL_EXIT_SUCCESS = 0,    /* done, or the usage text was asked for */
    QEL_EXIT_BEFORE_RUN = 1, /* bad command line, or a failure before the first attempt */
    QEL_EXIT_NOT_DONE = 2,   /* device unreachable, exchange failing, or cancelled */
    QEL_EXIT_WRONG_IMAGE = 3 /* the device holds a wrong image */
} qel_exit_status;

typedef struct qel_event {
    int32_t kind;          /* qel_event_kind */
    int32_t phase;         /* qel_phase, QEL_PHASE_NONE when not in the upgrade */
    int32_t code;          /* result code the event is about, 0 when none */
    int32_t command;       /* command code of the exchange, -1 when none */
    uint32_t address;      /* device address (page, range start, first address), 0 when none */
    int32_t attempt;       /* attempt number (RESULT: attempts made), 0 when none */
    int32_t pages_done;    /* progress: pages of this phase done (RESULT: pages written) */
    int32_t pages_total;   /* progress: pages of this phase in all (START, RESULT: of the image) */
    uint64_t line_bytes;   /* characters sent and received on the line since Execute began */
    uint32_t elapsed_ms;   /* since the download (or Execute) began; 0 from a source that does not
                              measure (the file reader and the serial channel outside a download) */
    const char* text;      /* the exact text the default sink prints ("" for none); valid only
                              during the call */
    uint32_t end_address;  /* START: end of the file's data (exclusive) */
    int32_t ok;            /* RESULT: 1 when the download succeeded, else 0 */
    int32_t exit_status;   /* RESULT: qel_exit_status */
    int32_t failure;       /* RESULT: qel_failure */
    int32_t pages_skipped; /* RESULT: pages the device already held and that were not written */
} qel_event;

/* Short lower-case words for a kind, a phase and a failure ("write", "read_back", ...);
   "unknown" for a number without a name. Never null. */
QEL_API const char* qel_event_kind_name(int32_t kind);
QEL_API const char* qel_phase_name(int32_t phase);
QEL_API const char* qel_failure_name(int32_t failure);

/* The exit status that a download ending with this failure gives. */
QEL_API int32_t qel_exit_status_of(int32_t failure);

#ifdef __cplusplus
}
#endif

#endif
