// Input files that a program reads: refused before they are opened when reading them could block
// for ever (a named pipe without a writer) or is no reading of a file at all (a directory), and
// read no further than the program can use, so that an endless device cannot exhaust memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

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

struct BoundedInput {
    enum class Status { kRead, kNotReadable, kCannotRead };
    Status status = Status::kCannotRead;
    InputKind kind = InputKind::kMissing;
    std::vector<std::uint8_t> bytes;  // at most the bound
    bool moreBeyond = false;          // the input holds more than the bound
};

// Reads at most maxBytes of a regular file or character device; anything else is refused before
// it is opened.
BoundedInput ReadInputFile(const std::string& path, std::size_t maxBytes);

}  // namespace cli
