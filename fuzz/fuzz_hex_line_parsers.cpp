// Every line parser on arbitrary text: each line is held in a buffer of exactly its own size and
// the data buffer has the parsers' minimum size, so any read or write past either is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "hex_reader.h"

namespace {

int CheckMessage(void*, int code, const char* text) {
    // A message is one text without line breaks of its own.
    if (code != 1 || std::strchr(text, '\n') != nullptr) {
        __builtin_trap();
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::size_t length = size < kHexLineBufferSize ? size : kHexLineBufferSize - 1;
    const std::unique_ptr<char[]> line(new char[length + 1]);
    std::memcpy(line.get(), bytes, length);
    line[length] = '\0';
    const std::unique_ptr<unsigned char[]> data(new unsigned char[kHexMinimumDataBuffer]);
    std::uint16_t address = 0, count = 0;
    int endOfFile = 0;
    HL_ParseIntelHexLine(line.get(), data.get(), &address, &count, &endOfFile, nullptr,
                         &CheckMessage);
    HL_ParseSRecordLine(line.get(), data.get(), &address, &count, &endOfFile, nullptr,
                        &CheckMessage);
    std::uint32_t wideAddress = 0, wideCount = 0;
    HL_ParseSegmentedHexLine(line.get(), data.get(), &wideAddress, &wideCount, &endOfFile, nullptr,
                             &CheckMessage);
    if (wideCount > kHexMinimumDataBuffer || count > kHexMinimumDataBuffer) {
        __builtin_trap();
    }
    return 0;
}
