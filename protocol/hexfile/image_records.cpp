#include <bitset>
#include <cstring>
#include <new>

#include "event_emitter.h"
#include "hex_reader.h"
#include "image_loader.h"
#include "qel_codes.h"

namespace {

constexpr std::int32_t kExtendedSegment = 2;
constexpr std::int32_t kExtendedLinear = 4;
constexpr std::int32_t kStartLinear = 5;
constexpr std::int32_t kNoRecordYet = -1;

std::vector<HL_AddressRange> g_ranges;
std::int32_t g_lastEnd = kNoRecordYet;
// The bytes some earlier record of this file already holds. A record that brings no new byte
// adds no range, so the list stays bounded by the image however many records a file repeats.
std::bitset<kImageSize> g_stored;

bool AllStored(std::int32_t start, std::int32_t end) {
    for (std::int32_t at = start; at < end; ++at) {
        if (!g_stored.test(static_cast<std::size_t>(at))) {
            return false;
        }
    }
    return true;
}

void MarkStored(std::int32_t start, std::int32_t end) {
    for (std::int32_t at = start; at < end; ++at) {
        g_stored.set(static_cast<std::size_t>(at));
    }
}

// Wide enough that no base and address can wrap into the image.
std::int64_t BaseOfExtendedAddress() {
    const std::int64_t extended = HL_GetExtendedAddress();
    switch (HL_GetExtendedType()) {
        case kExtendedSegment:
            return extended * 16;
        case kExtendedLinear:
            return extended * 65536;
        default:
            return 0;
    }
}

void NoteRange(std::int32_t start, std::int32_t end) {
    if (AllStored(start, end)) {
        g_lastEnd = end;
        return;
    }
    MarkStored(start, end);
    // After a record that added no range the last end need not be the last range's end.
    if (start == g_lastEnd && !g_ranges.empty() && g_ranges.back().end == g_lastEnd) {
        g_ranges.back().end = end;
    } else {
        g_ranges.push_back({start, end});
    }
    g_lastEnd = end;
}

}  // namespace

int HL_CopyRecordToImage(void* image, unsigned address, unsigned count, const unsigned char* data) {
    if (static_cast<std::int32_t>(address) < 0) {
        return 1;
    }
    if (count == 0) {
        return 0;
    }
    // After a start linear address record nothing is stored until the next extended address.
    if (HL_GetExtendedType() == kStartLinear) {
        return 0;
    }
    const std::int64_t start = BaseOfExtendedAddress() + address;
    const std::int64_t end = start + count;
    if (start < 0 || end > kHighestRecordEnd) {
        return 1;
    }
    std::memcpy(static_cast<char*>(image) + start, data, count);
    try {
        NoteRange(static_cast<std::int32_t>(start), static_cast<std::int32_t>(end));
    } catch (const std::bad_alloc&) {
        return 1;
    }
    return 0;
}

int HL_PrintMessage(void* context, int /*code*/, const char* text) {
    const auto* target = static_cast<const HL_LoadTarget*>(context);
    qel::EventEmitter events(target != nullptr ? target->sink : nullptr);
    events.EmitText({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_LOAD, .code = qel::kErrHexLoad},
                    text);
    return 0;
}

const std::vector<HL_AddressRange>& HL_GetAddressRanges() {
    return g_ranges;
}

std::int32_t HL_GetLastEnd() {
    return g_lastEnd;
}

void HL_ResetAddressRanges() {
    g_ranges.clear();
    g_lastEnd = kNoRecordYet;
    g_stored.reset();
}
