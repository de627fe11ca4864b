// Data replies of the device: a fixed 93-byte payload for a code the caller chooses, and the raw
// data reply, whose length the device announces in its own header and which is read in two parts.
#include <cstring>

#include "message_layout.h"
#include "qel_protocol.h"

namespace {

using namespace qel::message;

constexpr int kDataReplyBytes = 99;

// Raw data reply: header, six device bytes, value offset, encoding, big-endian count, data, CRC16.
constexpr int kRawOffsetByte = 10;
constexpr int kRawEncodingByte = 11;
constexpr int kRawCountByte = 12;
constexpr int kRawHeaderBytes = 14;
constexpr int kRawMaxData = 1024;
constexpr int kRawMaxReplyBytes = kRawHeaderBytes + kRawMaxData + kCrcLength;
// The header's hex text, then the data's, the CRC16's and the CR.
constexpr int kRawHeaderCharacters = 2 * kRawHeaderBytes;
constexpr int kRawMaxCharacters = 2 * kRawMaxReplyBytes + 1;
constexpr std::uint8_t kRawEncodingPlain = 0;
constexpr std::uint8_t kRawEncodingDoubled = 1;
constexpr unsigned char kDoubledFrom = 0x80;

int RawCount(const unsigned char* reply) {
    return reply[kRawCountByte] * 256 + reply[kRawCountByte + 1];
}

// Encoding 1 stores every byte of 0x80 or more twice.
int DoubledLength(const unsigned char* bytes, int count) {
    int length = count;
    for (int i = 0; i < count; ++i) {
        if (bytes[i] >= kDoubledFrom) {
            ++length;
        }
    }
    return length;
}

void DecodeDoubled(const unsigned char* bytes, int count, unsigned char offset,
                   unsigned char* out) {
    int at = 0;
    for (int i = 0; i < count; ++i) {
        const auto value = static_cast<unsigned char>(bytes[i] + offset);
        out[at++] = value;
        if (bytes[i] >= kDoubledFrom) {
            out[at++] = value;
        }
    }
}

}  // namespace

int QelProtocol::ReadData(_read_data_reply_data* data, unsigned char command) {
    unsigned char frame[kBareRequestBytes];
    BeginFrame(frame, command);
    unsigned char reply[kDataReplyBytes + 1];
    // The window sees the reply code unreduced, so that codes of 0x80 and above stay apart.
    const int notifiedReplyCode = command + qel::kReplyFlag;
    int result = Exchange(frame, kBareRequestBytes, reply, kDataReplyBytes, true, notifiedReplyCode,
                          nullptr);
    if (result != qel::kOk) {
        return result;
    }
    std::memcpy(data->bytes, reply + kHeaderLength, sizeof data->bytes);
    return qel::kOk;
}

int QelProtocol::ReadRawData(unsigned char* data, std::uint16_t& length) {
    unsigned char frame[kBareRequestBytes];
    BeginFrame(frame, qel::kCmdReadRawData);
    int result = SendFrame(frame, kBareRequestBytes, true);
    if (result != qel::kOk) {
        return result;
    }

    // One byte beyond the longest text keeps it NUL-terminated.
    char text[kRawMaxCharacters + 1];
    std::memset(text, 0, sizeof text);
    unsigned char reply[kRawMaxReplyBytes + 1];
    std::memset(reply, 0, sizeof reply);

    result = ReadFromLine(text, kRawHeaderCharacters);
    if (result != qel::kOk) {
        return result;
    }
    result = ConvertToBinary(reply, text);
    if (result != qel::kOk) {
        return result;
    }
    const int count = RawCount(reply);
    const int restCharacters = 2 * (count + kCrcLength) + 1;
    // The count comes from the device; nothing beyond what the buffers hold is read into them.
    if (count > kRawMaxData) {
        DrainCharacters(restCharacters);
        return qel::kErrRawTooLong;
    }
    result = ReadFromLine(text + kRawHeaderCharacters, restCharacters);
    if (result != qel::kOk) {
        return result;
    }
    NotifyReply(qel::kCmdReadRawData | qel::kReplyFlag, text);

    std::memset(reply, 0, sizeof reply);
    result = ConvertToBinary(reply, text);
    if (result != qel::kOk) {
        return result;
    }
    const int replyLength = kRawHeaderBytes + count + kCrcLength + 1;
    result = CheckReply(reply, static_cast<char>(qel::kCmdReadRawData), replyLength);
    if (result != qel::kOk) {
        return result;
    }
    return ExtractRawData(reply, *reinterpret_cast<unsigned char(*)[kRawMaxData]>(data), length);
}

// Reads what is left of a refused reply, as far as its header announced and the device sends it,
// so that the next command does not read it as its own reply.
void QelProtocol::DrainCharacters(int characters) {
    char scratch[kRawMaxCharacters];
    while (characters > 0) {
        const int piece = characters < kRawMaxCharacters ? characters : kRawMaxCharacters;
        if (ReadFromLine(scratch, piece) != qel::kOk) {
            return;
        }
        characters -= piece;
    }
}

int QelProtocol::ExtractRawData(unsigned char* reply, unsigned char (&data)[1024],
                                std::uint16_t& length) {
    const std::uint8_t encoding = reply[kRawEncodingByte];
    if (encoding != kRawEncodingPlain && encoding != kRawEncodingDoubled) {
        return qel::kErrRawEncoding;
    }
    const int count = RawCount(reply);
    const unsigned char* bytes = reply + kRawHeaderBytes;
    const int decoded = encoding == kRawEncodingPlain ? count : DoubledLength(bytes, count);
    // Refused whole rather than cut short, so that the caller never takes a part for all.
    if (count > kRawMaxData || decoded > kRawMaxData) {
        return qel::kErrRawTooLong;
    }
    if (encoding == kRawEncodingPlain) {
        std::memcpy(data, bytes, static_cast<std::size_t>(count));
    } else {
        DecodeDoubled(bytes, count, reply[kRawOffsetByte], data);
    }
    length = static_cast<std::uint16_t>(decoded);
    return qel::kOk;
}
