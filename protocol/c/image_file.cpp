// The HEX loader for C callers, with a release function for its image: the image is allocated
// with new[] inside the library, which a C caller cannot delete[].
#include "c_boundary.h"
#include "hex_file.h"
#include "qel.h"

extern "C" {

int32_t qel_read_file(const char* path, uint8_t** image, int32_t* first, int32_t* end) {
    return qel::c::Guarded([&] {
        // uint8_t and char have the same size and alignment, so the image is one array either way.
        return HL_ReadFile(path, reinterpret_cast<char**>(image), first, end);
    });
}

void qel_free_image(uint8_t* image) {
    delete[] reinterpret_cast<char*>(image);
}

}  // extern "C"
