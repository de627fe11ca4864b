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
QEL_API int HL_ReadFile(const char* path, char** image, int* first, int* end);

#ifdef __cplusplus
}
#endif
