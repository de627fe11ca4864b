// Writes the benchmarks' big HEX file to the path given.
#include <cstdio>
#include <fstream>

#include "big_hex_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_big_hex <output.hex>\n");
        return 1;
    }
    std::ofstream output(argv[1], std::ios::binary);
    output << MakeBigHexText();
    return output.good() ? 0 : 1;
}
