#include "input_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace cli {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

struct KindName {
    std::filesystem::file_type type;
    InputKind kind;
    const char* name;
};

constexpr KindName kKindNames[] = {
    {std::filesystem::file_type::regular, InputKind::kRegularFile, "a regular file"},
    {std::filesystem::file_type::character, InputKind::kCharacterDevice, "a character device"},
    {std::filesystem::file_type::directory, InputKind::kDirectory, "a directory"},
    {std::filesystem::file_type::fifo, InputKind::kNamedPipe, "a named pipe (FIFO)"},
    {std::filesystem::file_type::socket, InputKind::kSocket, "a socket"},
    {std::filesystem::file_type::block, InputKind::kBlockDevice, "a block device"},
};

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

InputKind KindOfInput(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::none || type == std::filesystem::file_type::not_found) {
        return InputKind::kMissing;
    }
    for (const KindName& known : kKindNames) {
        if (known.type == type) {
            return known.kind;
        }
    }
    return InputKind::kOther;
}

bool IsReadableKind(InputKind kind) {
    return kind == InputKind::kRegularFile || kind == InputKind::kCharacterDevice;
}

std::string NotReadableReason(InputKind kind) {
    const char* what = "not a file";
    for (const KindName& known : kKindNames) {
        what = known.kind == kind ? known.name : what;
    }
    return std::string("is ") + what + "; only regular files and character devices can be read";
}

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
