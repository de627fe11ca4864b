// Command codes of the device protocol and result codes of the library.
#pragma once

#include <cstdint>

#include "qel_export.h"

namespace qel {

// Request codes; the device answers each with the code plus 0x80.
inline constexpr std::uint8_t kCmdReadConfiguration = 0x02;
inline constexpr std::uint8_t kCmdWriteConfiguration = 0x03;
inline constexpr std::uint8_t kCmdReadRawData = 0x05;
inline constexpr std::uint8_t kCmdReadSystemTime = 0x06;
inline constexpr std::uint8_t kCmdWriteSystemTime = 0x08;
inline constexpr std::uint8_t kCmdReset = 0x0A;
inline constexpr std::uint8_t kCmdWriteMemory = 0x18;
inline constexpr std::uint8_t kCmdReadMemory = 0x1A;
inline constexpr std::uint8_t kCmdReadMemoryCrc16 = 0x1C;
inline constexpr std::uint8_t kReplyFlag = 0x80;

// Result codes: 0 is success.
inline constexpr int kOk = 0;
inline constexpr int kErrReplyStart = 5001;        // reply does not start with 'Z'
inline constexpr int kErrReplyCode = 5002;         // reply code is not the command code + 0x80
inline constexpr int kErrReplySeparator = 5003;    // reply byte 2 is not '}'
inline constexpr int kErrReplyMessageId = 5004;    // reply carries another message id
inline constexpr int kErrReplyTerminator = 5005;   // reply text does not end with the CR
inline constexpr int kErrReplyCrc = 5006;          // CRC16 of the reply is wrong
inline constexpr int kErrReplyStatus = 5007;       // status byte of the reply is not 0
inline constexpr int kErrImageCrcMismatch = 5008;  // device's CRC16 of the image differs
inline constexpr int kErrCrcRecord = 5009;         // memory record of a CRC16 reply is bad
inline constexpr int kErrReplyNotHex = 5010;       // reply text holds a non-hex character
inline constexpr int kErrImageCorrupted = 5011;    // a page read back differs from the image
inline constexpr int kErrReadRecord = 5012;        // memory record of a read reply is bad
inline constexpr int kErrSocketCreate = 5014;      // socket cannot be created
inline constexpr int kErrHostResolve = 5015;       // host address cannot be resolved
inline constexpr int kErrConnect = 5017;           // connecting fails at once
inline constexpr int kErrConnectTimeout = 5018;    // connection not made within 60 s
inline constexpr int kErrConnectWait = 5019;       // waiting for the connection fails
inline constexpr int kErrConnectRefused = 5020;    // connected socket reports an error
inline constexpr int kErrReadTimeout = 5021;       // no socket, or no data within the time-out
inline constexpr int kErrReadClosed = 5022;        // receiving fails or the peer closed
inline constexpr int kErrReadIncomplete = 5023;    // fewer bytes than asked after 20 receives
inline constexpr int kErrWrite = 5024;             // sending fails
inline constexpr int kErrWriteIncomplete = 5025;   // not all bytes sent after 10 sends
inline constexpr int kErrRawEncoding = 5026;       // raw data reply names an unknown encoding
inline constexpr int kErrRawTooLong = 5027;        // raw data reply longer than 1024 bytes
inline constexpr int kErrNoImage = 5028;           // no application image prepared
inline constexpr int kErrArgument = 5029;          // a null pointer or a value out of range
inline constexpr int kErrBufferSize = 5030;        // a buffer of the wrong size for the data
inline constexpr int kErrInternal = 5031;          // the call failed inside (out of memory)
inline constexpr int kErrImageBelowFloor = 5032;   // the file's data starts below 0x3000
inline constexpr int kErrCancelled = 5033;         // the caller's cancel flag stopped the work
inline constexpr int kErrHexArguments = -1;        // HL_ReadFile: empty name or null output
inline constexpr int kErrHexLoad = 2103;           // file cannot be loaded or holds no data
inline constexpr int kErrSerialNotReady = 2143;    // serial port did not come up
inline constexpr int kErrPurgeReceive = 2176;      // emptying the receive buffer failed
inline constexpr int kErrPurgeTransmit = 2181;     // emptying the transmit buffer failed

// The two results by which the device is found to hold a wrong image; sending it again would not
// change them.
constexpr bool IsWrongImage(int code) {
    return code == kErrImageCrcMismatch || code == kErrImageCorrupted;
}

// A short English text for a result code of the library or of the serial library; never null.
QEL_API const char* ResultCodeText(int code);

}  // namespace qel
