// The image loader behind HL_ReadFile: the record and message callbacks it gives the reader and
// the module-level list of address ranges that received data, which HL_ReadFile holds for one
// load at a time. Internal to the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t kImageSize = 0x80000;
// The highest end a record may have: the image's last byte never receives data.
inline constexpr std::int64_t kHighestRecordEnd = 0x7FFFF;

// One run of stored bytes, end exclusive.
struct HL_AddressRange {
    std::int32_t start;
    std::int32_t end;
};

// Stores one data record of an Intel HEX file into the image given as context, applying the
// extended address of the reader state. 0 when stored or skipped, 1 when refused.
int HL_CopyRecordToImage(void* image, unsigned address, unsigned count, const unsigned char* data);

namespace qel {
class EventSink;
}

// What one load fills, and where its messages go.
struct HL_LoadTarget {
    char* image;
    qel::EventSink* sink;  // null: the default sink
};

// Reports the reader's message as it is, without a line break, as an error event to the sink of
// the HL_LoadTarget that context points to (the default sink when context is null); ignores code.
int HL_PrintMessage(void* context, int code, const char* text);

// The ranges met since the last HL_ReadFile began, in file order; a record that starts where
// the previous one ended extends its range.
const std::vector<HL_AddressRange>& HL_GetAddressRanges();
// The end of the last stored record, -1 when none was stored since the list was emptied.
std::int32_t HL_GetLastEnd();
void HL_ResetAddressRanges();

// Allocates the image with new[] or returns null; replaceable so that a failed allocation can
// be tried. Returns the previous allocator; null restores the default.
using HL_ImageAllocator = char* (*)(std::size_t size);
HL_ImageAllocator HL_SetImageAllocator(HL_ImageAllocator allocator);
