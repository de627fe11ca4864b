// What lies at a path that a program is asked to read: reading a named pipe without a writer
// would block for ever, and a directory is no file at all, so both are refused before they are
// opened. Internal to the library; the programs link their own copy.
#pragma once

#include <string>

namespace qel {

enum class InputKind {
    kMissing,  // also when it cannot be told: opening it then says why
    kRegularFile,
    kCharacterDevice,
    kDirectory,
    kNamedPipe,
    kSocket,
    kBlockDevice,
    kOther,
};

// What lies at path, after symbolic links.
InputKind KindOfInput(const std::string& path);

// Regular files and character devices (/dev/null, a serial port's recording); an endless device
// is bounded by the reader.
bool IsReadableKind(InputKind kind);

// Why a path of an unreadable kind is refused, to follow the path in a message: "is a named pipe
// (FIFO); only regular files and character devices can be read".
std::string NotReadableReason(InputKind kind);

}  // namespace qel
