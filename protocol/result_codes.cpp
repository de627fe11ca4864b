// Texts of the result codes, for programs that tell an operator what a code means.
#include "comms.h"
#include "qel_codes.h"

namespace qel {
namespace {

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kTexts[] = {
    {kOk, "success"},
    {kErrReplyStart, "reply does not start with 'Z'"},
    {kErrReplyCode, "reply code is not the command code + 0x80"},
    {kErrReplySeparator, "reply byte 2 is not '}'"},
    {kErrReplyMessageId, "reply carries another message id than the request"},
    {kErrReplyTerminator, "reply text does not end with the CR"},
    {kErrReplyCrc, "CRC16 of the reply is wrong"},
    {kErrReplyStatus, "status byte of the reply is not 0"},
    {kErrImageCrcMismatch, "device's CRC16 of the written data differs from the image"},
    {kErrCrcRecord, "memory record of a CRC16 reply is bad"},
    {kErrReplyNotHex, "reply text holds a character that is not a hex digit"},
    {kErrImageCorrupted, "a page read back differs from the application image"},
    {kErrReadRecord, "memory record of a read reply is bad"},
    {kErrSocketCreate, "the socket cannot be created"},
    {kErrHostResolve, "the host address cannot be resolved"},
    {kErrConnect, "connecting fails at once"},
    {kErrConnectTimeout, "the connection is not made within 60 s"},
    {kErrConnectWait, "waiting for the connection fails"},
    {kErrConnectRefused, "the connected socket reports an error (refused?)"},
    {kErrReadTimeout, "no data within the time-out, or the socket is not open"},
    {kErrReadClosed, "receiving fails or the device closed the connection"},
    {kErrReadIncomplete, "fewer bytes than asked after 20 receive attempts"},
    {kErrWrite, "sending fails"},
    {kErrWriteIncomplete, "not all bytes sent after 10 send attempts"},
    {kErrRawEncoding, "raw data reply names an encoding other than 0 or 1"},
    {kErrRawTooLong, "raw data reply holds more than 1024 bytes"},
    {kErrNoImage, "no application image has been prepared"},
    {kErrArgument, "a null argument, or an address range past the end of the address space"},
    {kErrBufferSize, "a buffer too small for the data, or a block of the wrong size"},
    {kErrInternal, "the library could not finish the call (out of memory)"},
    {kErrImageBelowFloor, "the file's data starts below 0x3000, in the loader's area"},
    {kErrCancelled, "the work was cancelled by its caller"},
    {kErrHexArguments, "empty file name or missing output argument"},
    {kErrHexLoad, "the file cannot be loaded or holds no data"},
    {kErrSerialNotReady, "the serial port did not come up"},
    {kErrPurgeReceive, "emptying the receive buffer failed"},
    {kErrPurgeTransmit, "emptying the transmit buffer failed"},
    // The serial library's own codes, which the serial channel passes on.
    {kCommsErrBadSettings,
     "settings missing, or a baud rate, data bits, parity, stop bits or port index the port "
     "can't take"},
    {kCommsErrOpen, "the device can't be opened (missing, no permission)"},
    {kCommsErrBusy, "another user holds the port"},
    {kCommsErrSetup, "not a terminal, or its line settings can't be applied"},
    {kCommsErrNotOpen, "read, write or purge on a port that isn't open"},
    {kCommsErrBadBuffer, "no buffer for a non-zero count, or a count that is too large"},
    {kCommsErrReadTimeout, "fewer bytes than asked within the read time-out"},
    {kCommsErrRead, "reading failed, or the line hung up"},
    {kCommsErrWriteTimeout,
     "not every byte taken before the write deadline (time-out plus the bytes' wire time)"},
    {kCommsErrWrite, "writing failed, or the line hung up"},
    {kCommsErrPurge, "emptying a buffer failed"},
};

}  // namespace

const char* ResultCodeText(int code) {
    for (const CodeText& entry : kTexts) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return "unknown result code";
}

}  // namespace qel
