// HL_ReadFile and HL_LoadHexFile in every format on arbitrary file contents. The image must come
// back with its span inside it on success and not at all on failure; leaks are caught by the
// address sanitizer.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "hex_file.h"
#include "hex_reader.h"

namespace {

// One file per fuzzing process, written and removed for every input; the reader's messages are
// kept out of the fuzzer's own output.
const std::string& InputPath() {
    static const std::string path = [] {
        [[maybe_unused]] std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
        // Memory-backed where there is such a folder: the loader must read a real file.
        const char* folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(folder) + "/qel-fuzz-loader-" + std::to_string(::getpid()) + ".hex";
    }();
    return path;
}

bool WriteInput(const std::uint8_t* bytes, std::size_t size) {
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

int CountRecord(void* context, unsigned, unsigned count, const unsigned char*) {
    if (count == 0 || count > 255) {
        __builtin_trap();
    }
    ++*static_cast<int*>(context);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    if (!WriteInput(bytes, size)) {
        return 0;
    }
    char* image = nullptr;
    int first = -1;
    int end = -1;
    const int result = HL_ReadFile(InputPath().c_str(), &image, &first, &end);
    if (result == 0) {
        if (image == nullptr || first < 0 || end <= first || end > 0x7FFFF) {
            __builtin_trap();
        }
        delete[] image;
    } else if (result != 2103 || image != nullptr) {
        __builtin_trap();
    }
    int records = 0;
    for (int format = 1; format <= 3; ++format) {
        HL_LoadHexFile(&records, InputPath().c_str(), format, &CountRecord, nullptr);
    }
    std::remove(InputPath().c_str());
    return 0;
}
