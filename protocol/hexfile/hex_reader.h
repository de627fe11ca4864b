// The firmware file reader: turns a text file of address records into calls of a record
// callback and reports every problem as text to a message callback. Internal to the library.
// One file is read at a time: the reader keeps its state in module-level values.
#pragma once

#include <cstdint>
#include <cstdio>

// 0 continues the file; any other value stops it and becomes the reader's result (2 stands for
// an address out of range).
using HL_RecordCallback = int (*)(void* context, unsigned address, unsigned count,
                                  const unsigned char* data);
// One message per call, without line breaks of its own; code is 1, or errno for a file that
// does not open. The result is ignored.
using HL_MessageCallback = int (*)(void* context, int code, const char* text);

// Formats of HL_LoadHexFile.
inline constexpr int kHexFormatIntel = 1;
inline constexpr int kHexFormatSRecord = 2;
inline constexpr int kHexFormatSegmented = 3;

// Lines are read as fgets into a buffer of this size would read them.
inline constexpr int kHexLineBufferSize = 4096;
// Parsers need a data buffer of at least this many bytes (the largest count field).
inline constexpr int kHexMinimumDataBuffer = 255;

// Reads hexFile to its end record. 0 when the end record was reached and every record callback
// returned 0; otherwise 1 or the record callback's own value. onMessage may be null.
int HL_LoadHexFile(void* context, const char* hexFile, int fileFormat, HL_RecordCallback onRecord,
                   HL_MessageCallback onMessage);

// Line loops: read the open file line by line with the parser of their format.
int HL_ReadIntelHexLines(std::FILE* file, void* context, HL_RecordCallback onRecord,
                         HL_MessageCallback onMessage);
int HL_ReadSRecordLines(std::FILE* file, void* context, HL_RecordCallback onRecord,
                        HL_MessageCallback onMessage);
int HL_ReadSegmentedHexLines(std::FILE* file, void* context, HL_RecordCallback onRecord,
                             HL_MessageCallback onMessage);

// Line parsers. line is a NUL-terminated text; nothing past its end is read whatever its count
// field says. Each sets its three outputs to 0 first and returns 0 for a good line, 1 for a bad
// one (after one message with code 1).
int HL_ParseIntelHexLine(const char* line, unsigned char* data, std::uint16_t* address,
                         std::uint16_t* count, int* endOfFile, void* context,
                         HL_MessageCallback onMessage);
int HL_ParseSRecordLine(const char* line, unsigned char* data, std::uint16_t* address,
                        std::uint16_t* count, int* endOfFile, void* context,
                        HL_MessageCallback onMessage);
int HL_ParseSegmentedHexLine(const char* line, unsigned char* data, std::uint32_t* address,
                             std::uint32_t* count, int* endOfFile, void* context,
                             HL_MessageCallback onMessage);

// Reader state. The extended address and type are set by Intel HEX records of type 2, 4 and 5
// and applied by the record callback; the segment base is applied by the segmented parser.
// HL_LoadHexFile resets all three at the start of every file.
std::int32_t HL_GetExtendedAddress();
void HL_SetExtendedAddress(std::int32_t address);
std::int32_t HL_GetExtendedType();
void HL_SetExtendedType(std::int32_t type);
std::int32_t HL_GetSegmentBase();
void HL_SetSegmentBase(std::int32_t base);
