#include <cerrno>

#include "hex_reader.h"
#include "reader_messages.h"

namespace {

constexpr int kAddressOutOfRange = 2;

using LineLoop = int (*)(std::FILE*, void*, HL_RecordCallback, HL_MessageCallback);

LineLoop LineLoopOf(int fileFormat) {
    switch (fileFormat) {
        case kHexFormatIntel:
            return &HL_ReadIntelHexLines;
        case kHexFormatSRecord:
            return &HL_ReadSRecordLines;
        case kHexFormatSegmented:
            return &HL_ReadSegmentedHexLines;
        default:
            return nullptr;
    }
}

}  // namespace

int HL_LoadHexFile(void* context, const char* hexFile, int fileFormat, HL_RecordCallback onRecord,
                   HL_MessageCallback onMessage) {
    using namespace hexfile_messages;
    // Nothing of a previous file may shift the addresses of this one.
    HL_SetExtendedAddress(0);
    HL_SetExtendedType(0);
    HL_SetSegmentBase(0);
    const LineLoop readLines = LineLoopOf(fileFormat);
    if (readLines == nullptr) {
        return HL_Report(context, kUnknownFormat, onMessage);
    }
    if (hexFile == nullptr || hexFile[0] == '\0') {
        return HL_Report(context, kNoFileName, onMessage);
    }
    std::FILE* file = std::fopen(hexFile, "r");
    if (file == nullptr) {
        if (onMessage != nullptr) {
            onMessage(context, errno, kCannotOpen);
        }
        return 1;
    }
    const int result = readLines(file, context, onRecord, onMessage);
    if (result != 0) {
        HL_Report(context, result == kAddressOutOfRange ? kOutOfRange : kLoadError, onMessage);
    }
    std::fclose(file);
    return result;
}
