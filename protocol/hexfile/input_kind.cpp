#include "input_kind.h"

#include <filesystem>

namespace qel {
namespace {

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

}  // namespace qel
