#include <algorithm>
#include <cstring>
#include <new>

#include "hex_file.h"
#include "hex_reader.h"
#include "image_loader.h"
#include "qel_codes.h"
#include "qel_print.h"

namespace {

char* AllocateWithNew(std::size_t size) {
    return new (std::nothrow) char[size];
}

HL_ImageAllocator g_allocateImage = &AllocateWithNew;

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

}  // namespace

HL_ImageAllocator HL_SetImageAllocator(HL_ImageAllocator allocator) {
    const HL_ImageAllocator previous = g_allocateImage;
    g_allocateImage = allocator != nullptr ? allocator : &AllocateWithNew;
    return previous;
}

extern "C" int HL_ReadFile(const char* path, char** image, int* first, int* end) {
    if (path == nullptr || path[0] == '\0' || image == nullptr || first == nullptr ||
        end == nullptr) {
        return qel::kErrHexArguments;
    }
    *image = g_allocateImage(kImageSize);
    if (*image == nullptr) {
        qel::Print("\nNot enough memory to load file '%s'", path);
        return qel::kErrHexLoad;
    }
    std::memset(*image, 0xFF, kImageSize);
    HL_ResetAddressRanges();
    const int result =
        HL_LoadHexFile(*image, path, kHexFormatIntel, &HL_CopyRecordToImage, &HL_PrintMessage);
    if (result != 0) {
        qel::Print("\nError loading file '%s', ec=%d", path, result);
        return Fail(image);
    }
    if (HL_GetAddressRanges().empty()) {
        qel::Print("\nInput file '%s' doesn't have data to download", path);
        return Fail(image);
    }
    const HL_AddressRange span = SpanOf(HL_GetAddressRanges());
    *first = span.start;
    *end = span.end;
    return 0;
}
