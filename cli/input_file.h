// Input files that a program reads: refused before they are opened when reading them could block
// for ever (a named pipe without a writer) or is no reading of a file at all (a directory), and
// read no further than the program can use, so that an endless device cannot exhaust memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input_kind.h"

namespace cli {

// The kinds of input and their checks are the library's, which refuses the same files.
using qel::InputKind;
using qel::IsReadableKind;
using qel::KindOfInput;
using qel::NotReadableReason;

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
