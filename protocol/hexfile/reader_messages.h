// The reader's own words. They carry no line breaks: a caller that prints them one after the
// other gets them on one line, followed by the text of the bad line.
#pragma once

#include "hex_digits.h"
#include "hex_reader.h"

namespace hexfile_messages {

inline constexpr const char* kNoColon = "Line should start with ':' character";
inline constexpr const char* kNoS = "Line should start with 'S' character";
inline constexpr const char* kBadCount = "Cannot read number of bytes for the line";
inline constexpr const char* kBadAddress = "Cannot read data address for the line";
inline constexpr const char* kBadTypeField = "Cannot read record type for the line";
inline constexpr const char* kBadType = "Invalid value for the record type";
inline constexpr const char* kBadDataByte = "Cannot read data byte from the hex file line";
inline constexpr const char* kBadChecksumField = "Cannot read checksum byte for the line";
inline constexpr const char* kChecksumMismatch =
    "Calculated checksum does not match to the read one.";
inline constexpr const char* kParseError = "Error parsing the line.";
inline constexpr const char* kReadError = "Error reading from the hex file.";
inline constexpr const char* kNoFileName = "hexFile parameter should point to a valid file name.";
inline constexpr const char* kCannotOpen = "Cannot open hexFile for reading.";
inline constexpr const char* kUnknownFormat = "Unkown value for paramater fileFormat";
inline constexpr const char* kLoadError = "Error loading the file.";
inline constexpr const char* kOutOfRange =
    "Address in hex file is out of range for the selected processor or toolkit";

}  // namespace hexfile_messages

// Hands text to onMessage with code 1 when there is a callback; returns 1 so that a parser can
// report and fail in one statement.
inline int HL_Report(void* context, const char* text, HL_MessageCallback onMessage) {
    if (onMessage != nullptr) {
        onMessage(context, 1, text);
    }
    return 1;
}

// The data bytes of a record, added into sum, and the checksum byte after them, as both record
// formats lay them out. Returns 0, or 1 after the message of the first fault.
inline int HL_ReadDataAndChecksum(const char* text, unsigned count, unsigned char* data,
                                  unsigned* sum, std::uint8_t* checksum, void* context,
                                  HL_MessageCallback onMessage) {
    for (unsigned index = 0; index < count; ++index, text += 2) {
        if (HL_HexByte(text, &data[index]) != 0) {
            return HL_Report(context, hexfile_messages::kBadDataByte, onMessage);
        }
        *sum += data[index];
    }
    if (HL_HexByte(text, checksum) != 0) {
        return HL_Report(context, hexfile_messages::kBadChecksumField, onMessage);
    }
    return 0;
}
