// The firmware file loader of the library, with C linkage so that other languages can call it.
#pragma once

#include "qel_export.h"

#ifdef __cplusplus
extern "C" {
#endif

// Reads an Intel HEX file into a new 0x80000-byte image (0xFF where the file has no data).
// 0: *image is the caller's (release with delete[]), *first the lowest stored address, *end the
// highest stored end (exclusive). -1: empty path or a null output, nothing allocated.
// 2103: the file did not load or holds no data; *image is set to null.
// Its messages go to the default sink, which prints them. One file loads at a time: a load that
// another thread starts waits for the one that runs.
QEL_API int HL_ReadFile(const char* path, char** image, int* first, int* end);

#ifdef __cplusplus
}

namespace qel {
class EventSink;
}

// As HL_ReadFile, with every message an error event (phase LOAD) to sink; null is the default
// sink.
QEL_API int HL_ReadFileWithSink(const char* path, char** image, int* first, int* end,
                                qel::EventSink* sink);
#endif
