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
inline constexpr int kBlockReadReplyBytes = kReplyRecordOffset + kBlockRecordBytes + kCrcLength;

// The reply's record to a CRC16 request (0x1C, a 32-bit size) carries the device's CRC16, low byte
// first, as its content.
inline constexpr int kRangeCrcBytes = 2;

// The longest request and the longest reply of fixed length; the longest request that asks for
// a record's content (0x1C, whose record has the wider length field).
inline constexpr int kLongestRequestBytes = kBlockWriteRequestBytes;
inline constexpr int kLongestFixedReplyBytes = kBlockReadReplyBytes;
inline constexpr int kLongestFetchRequestBytes =
    kHeaderLength + HeaderBytes(LengthField::k32Bit) + kCrcLength;

static_assert(kBlockWriteRequestBytes == 270 && kBlockReadReplyBytes == 271);
static_assert(kBareRequestBytes == 6 && kStatusReplyBytes == 7 && kLongestFetchRequestBytes == 16);

}  // namespace qel::message
