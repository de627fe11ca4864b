#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

#include "event_emitter.h"
#include "hex_file.h"
#include "hex_reader.h"
#include "image_loader.h"
#include "qel_codes.h"

namespace {

char* AllocateWithNew(std::size_t size) {
    return new (std::nothrow) char[size];
}

// Replaced by tests while another thread may load: read and swapped whole.
std::atomic<HL_ImageAllocator> g_allocateImage{&AllocateWithNew};

// The reader keeps its state in module-level values: one load at a time.
std::mutex g_oneLoadAtATime;

constexpr qel::EventFields kLoadError{
    .kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_LOAD, .code = qel::kErrHexLoad};

int Fail(char** image) {
    delete[] * image;
    *image = nullptr;
    return qel::kErrHexLoad;
}

// The lowest start and the highest end, so that records out of file order neither fall outside
// the span nor give an end below the first address.
HL_AddressRange SpanOf(const std::vector<HL_AddressRange>& ranges) {
    HL_AddressRange span = ranges.front();
    for (const HL_AddressRange& range : ranges) {
        span.start = std::min(span.start, range.start);
        span.end = std::max(span.end, range.end);
    }
    return span;
}

int CopyRecordToTarget(void* target, unsigned address, unsigned count, const unsigned char* data) {
    return HL_CopyRecordToImage(static_cast<HL_LoadTarget*>(target)->image, address, count, data);
}

}  // namespace

HL_ImageAllocator HL_SetImageAllocator(HL_ImageAllocator allocator) {
    return g_allocateImage.exchange(allocator != nullptr ? allocator : &AllocateWithNew);
}

extern "C" int HL_ReadFile(const char* path, char** image, int* first, int* end) {
    return HL_ReadFileWithSink(path, image, first, end, nullptr);
}

int HL_ReadFileWithSink(const char* path, char** image, int* first, int* end,
                        qel::EventSink* sink) {
    if (path == nullptr || path[0] == '\0' || image == nullptr || first == nullptr ||
        end == nullptr) {
        return qel::kErrHexArguments;
    }
    const std::lock_guard<std::mutex> oneLoad(g_oneLoadAtATime);
    qel::EventEmitter events(sink);
    *image = g_allocateImage.load()(kImageSize);
    if (*image == nullptr) {
        events.Emit(kLoadError, "\nNot enough memory to load file '%s'", path);
        return qel::kErrHexLoad;
    }
    std::memset(*image, 0xFF, kImageSize);
    HL_ResetAddressRanges();
    HL_LoadTarget target{*image, sink};
    const int result =
        HL_LoadHexFile(&target, path, kHexFormatIntel, &CopyRecordToTarget, &HL_PrintMessage);
    if (result != 0) {
        events.Emit(kLoadError, "\nError loading file '%s', ec=%d", path, result);
        return Fail(image);
    }
    if (HL_GetAddressRanges().empty()) {
        events.Emit(kLoadError, "\nInput file '%s' doesn't have data to download", path);
        return Fail(image);
    }
    const HL_AddressRange span = SpanOf(HL_GetAddressRanges());
    *first = span.start;
    *end = span.end;
    return 0;
}
