// Loads an Intel HEX file with HL_ReadFile and writes the image from address 0 up to the end
// of its data as a binary file: the whole-process counterpart of srec_cat -binary.
#include <cstdio>
#include <memory>

#include "hex_file.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hex2bin <input.hex> <output.bin>\n");
        return 1;
    }
    char* loaded = nullptr;
    int first = 0;
    int end = 0;
    if (HL_ReadFile(argv[1], &loaded, &first, &end) != 0) {
        return 1;
    }
    const std::unique_ptr<char[]> image(loaded);
    std::FILE* output = std::fopen(argv[2], "wb");
    if (output == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    const bool written = std::fwrite(image.get(), 1, end, output) == static_cast<size_t>(end);
    return std::fclose(output) == 0 && written ? 0 : 1;
}
