// Lengths and offsets that several commands share: request and reply frames in bytes, without the
// CR that follows each on the line. Internal to the library.
#pragma once

#include "application_layout.h"
#include "frame_codec.h"
#include "memory_record.h"

namespace qel::message {

using codec::kCrcLength;
using codec::kHeaderLength;
using record::HeaderBytes;
using record::LengthField;

// A reply's status byte follows its header; the memory record of a reply follows the status.
inline constexpr int kStatusOffset = kHeaderLength;
inline constexpr int kReplyRecordOffset = kStatusOffset + 1;

// A request without payload, and a reply that carries nothing but its status byte.
inline constexpr int kBareRequestBytes = kHeaderLength + kCrcLength;
inline constexpr int kStatusReplyBytes = kHeaderLength + 1 + kCrcLength;

// One page written (0x18) or read (0x1A): a record with a 16-bit count and 256 bytes of content.
inline constexpr int kBlockRecordBytes = HeaderBytes(LengthField::k16Bit) + layout::kPageBytes;
inline constexpr int kBlockWriteRequestBytes = kHeaderLength + kBlockRecordBytes + kCrcLength;
inline constexpr int kBlockReadRequestBytes =
    kHeaderLength + HeaderBytes(LengthField::k16Bit) + kCrcLength;
inline constexpr int kBlockReadReplyBytes = kReplyRecordOffset + kBlockRecordBytes + kCrcLength;

// The CRC16 of a range (0x1C): a record with a 32-bit size; the reply's record carries the
// device's CRC16, low byte first, as its content.
inline constexpr int kRangeCrcBytes = 2;
inline constexpr int kRangeCrcRequestBytes =
    kHeaderLength + HeaderBytes(LengthField::k32Bit) + kCrcLength;
inline constexpr int kRangeCrcReplyBytes =
    kReplyRecordOffset + HeaderBytes(LengthField::k32Bit) + kRangeCrcBytes + kCrcLength;

// The longest request and the longest reply of fixed length.
inline constexpr int kLongestRequestBytes = kBlockWriteRequestBytes;
inline constexpr int kLongestFixedReplyBytes = kBlockReadReplyBytes;

static_assert(kBlockWriteRequestBytes == 270 && kBlockReadRequestBytes == 14 &&
              kBlockReadReplyBytes == 271);
static_assert(kRangeCrcRequestBytes == 16 && kRangeCrcReplyBytes == 19);
static_assert(kBareRequestBytes == 6 && kStatusReplyBytes == 7);

}  // namespace qel::message
