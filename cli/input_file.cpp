#include "input_file.h"

#include <algorithm>
#include <fstream>

namespace cli {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

// Grows the buffer a chunk at a time, so that a small file does not cost the whole bound.
bool ReadUpTo(std::ifstream& in, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
    while (bytes.size() < maxBytes && in) {
        const std::size_t before = bytes.size();
        bytes.resize(before + std::min(kChunkBytes, maxBytes - before));
        in.read(reinterpret_cast<char*>(bytes.data() + before),
                static_cast<std::streamsize>(bytes.size() - before));
        bytes.resize(before + static_cast<std::size_t>(in.gcount()));
    }
    return !in.bad();
}

}  // namespace

BoundedInput ReadInputFile(const std::string& path, std::size_t maxBytes) {
    BoundedInput input;
    input.kind = KindOfInput(path);
    if (input.kind != InputKind::kMissing && !IsReadableKind(input.kind)) {
        input.status = BoundedInput::Status::kNotReadable;
        return input;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in || !ReadUpTo(in, maxBytes, input.bytes)) {
        input.bytes.clear();
        return input;
    }
    input.moreBeyond = in && in.peek() != std::ifstream::traits_type::eof();
    input.status = BoundedInput::Status::kRead;
    return input;
}

}  // namespace cli
