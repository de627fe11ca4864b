// The HEX loader for C callers, with a release function for its image: the image is allocated
// with new[] inside the library, which a C caller cannot delete[].
#include "c_boundary.h"
#include "callback_sink.h"
#include "hex_file.h"

extern "C" {

int32_t qel_read_file_with_events(const char* path, uint8_t** image, int32_t* first, int32_t* end,
                                  qel_event_callback callback, void* context) {
    return qel::c::Guarded([&] {
        qel::c::CallbackSink sink(callback, context);
        // uint8_t and char have the same size and alignment, so the image is one array either way.
        return HL_ReadFileWithSink(path, reinterpret_cast<char**>(image), first, end, &sink);
    });
}

int32_t qel_read_file(const char* path, uint8_t** image, int32_t* first, int32_t* end) {
    return qel_read_file_with_events(path, image, first, end, nullptr, nullptr);
}

void qel_free_image(uint8_t* image) {
    delete[] reinterpret_cast<char*>(image);
}

}  // extern "C"
