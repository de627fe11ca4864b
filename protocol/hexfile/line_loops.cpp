#include "hex_reader.h"
#include "reader_messages.h"

namespace {

// Large enough for any count field; the parsers need no more than 255 bytes.
constexpr int kDataBufferSize = 1024;

template <typename Word>
using LineParser = int (*)(const char*, unsigned char*, Word*, Word*, int*, void*,
                           HL_MessageCallback);

// A line longer than the buffer is split where fgets splits it: the rest is read as the next
// line, so the work stays bounded by the buffer whatever the file holds.
template <typename Word>
int ReadLines(std::FILE* file, void* context, HL_RecordCallback onRecord,
              HL_MessageCallback onMessage, LineParser<Word> parse) {
    char line[kHexLineBufferSize];
    unsigned char data[kDataBufferSize];
    for (;;) {
        if (std::fgets(line, sizeof line, file) == nullptr) {
            // A read error has already been seen by the caller's stream; only a file that
            // ends before its end record gets this message.
            if (std::ferror(file) == 0) {
                HL_Report(context, hexfile_messages::kReadError, onMessage);
            }
            return 1;
        }
        Word address = 0;
        Word count = 0;
        int endOfFile = 0;
        if (parse(line, data, &address, &count, &endOfFile, context, onMessage) != 0) {
            HL_Report(context, hexfile_messages::kParseError, onMessage);
            HL_Report(context, line, onMessage);
            return 1;
        }
        if (count != 0) {
            const int result = onRecord(context, address, count, data);
            if (result != 0) {
                return result;
            }
        }
        if (endOfFile != 0) {
            return 0;
        }
    }
}

}  // namespace

int HL_ReadIntelHexLines(std::FILE* file, void* context, HL_RecordCallback onRecord,
                         HL_MessageCallback onMessage) {
    return ReadLines<std::uint16_t>(file, context, onRecord, onMessage, &HL_ParseIntelHexLine);
}

int HL_ReadSRecordLines(std::FILE* file, void* context, HL_RecordCallback onRecord,
                        HL_MessageCallback onMessage) {
    return ReadLines<std::uint16_t>(file, context, onRecord, onMessage, &HL_ParseSRecordLine);
}

int HL_ReadSegmentedHexLines(std::FILE* file, void* context, HL_RecordCallback onRecord,
                             HL_MessageCallback onMessage) {
    return ReadLines<std::uint32_t>(file, context, onRecord, onMessage, &HL_ParseSegmentedHexLine);
}
