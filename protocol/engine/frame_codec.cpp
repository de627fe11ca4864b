#include "frame_codec.h"

#include <array>
#include <cstring>

#include "qel_codes.h"

namespace qel::codec {
namespace {

// Entry i is the reflected CRC (polynomial 0xA001) of the byte i: one table step per byte, since
// the image's whole CRC is worked out for every download.
constexpr std::array<std::uint16_t, 256> MakeByteTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        table[byte] = static_cast<std::uint16_t>(crc);
    }
    return table;
}
constexpr std::array<std::uint16_t, 256> kByteTable = MakeByteTable();

constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of one hex digit in either case, or -1.
int DigitValue(char character) {
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    if (character >= 'a' && character <= 'f') {
        return character - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::uint16_t Crc16(const unsigned char* bytes, int length) {
    return Crc16Continue(0, bytes, length);
}

std::uint16_t Crc16Continue(std::uint16_t start, const unsigned char* bytes, int length) {
    unsigned crc = start;
    for (int i = 0; i < length; ++i) {
        crc = kByteTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    }
    return static_cast<std::uint16_t>(crc);
}

std::uint8_t Crc8(const unsigned char* bytes, int length, std::uint8_t seed) {
    if (length <= 0) {
        return 0;
    }
    return static_cast<std::uint8_t>(seed - ByteSum(bytes, length));
}

void ConvertToHexString(char* output, const unsigned char* bytes, int length) {
    if (output == nullptr || bytes == nullptr || length <= 0) {
        return;
    }
    for (int i = 0; i < length; ++i) {
        output[2 * i] = kHexDigits[bytes[i] >> 4];
        output[2 * i + 1] = kHexDigits[bytes[i] & 0xF];
    }
}

int ConvertToBinary(unsigned char* output, const char* text) {
    const std::size_t textLength = std::strlen(text);
    if (textLength == 0) {
        return kOk;  // nothing to convert, and nothing before the text is touched
    }
    std::size_t i = 0;
    for (; 2 * i + 1 < textLength; ++i) {
        const int high = DigitValue(text[2 * i]);
        const int low = DigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return kErrReplyNotHex;
        }
        output[i] = static_cast<unsigned char>(high * 16 + low);
    }
    output[i] = static_cast<unsigned char>(text[textLength - 1]);
    return kOk;
}

int HexCharToByte(char character, unsigned char& value) {
    const int digit = DigitValue(character);
    if (digit < 0) {
        return 1;
    }
    value = static_cast<unsigned char>(digit);
    return 0;
}

int Hex2CharToByte(const char* characters, unsigned char& value) {
    unsigned char high = 0;
    unsigned char low = 0;
    if (HexCharToByte(characters[0], high) != 0 || HexCharToByte(characters[1], low) != 0) {
        return 1;
    }
    value = static_cast<unsigned char>(high * 16 + low);
    return 0;
}

std::uint8_t NextMessageId(std::uint8_t current) {
    const unsigned next = (current + 1u) & 0xFFu;
    return static_cast<std::uint8_t>(next == 255 || next == 0 ? 1 : next);
}

int CheckReply(const unsigned char* data, char code, int length, std::uint8_t messageId) {
    // The shortest reply is start, code, separator, id, CRC16 and the CR.
    if (length < 7) {
        return kErrReplyTerminator;
    }
    if (data[0] != kStartByte) {
        return kErrReplyStart;
    }
    if (data[1] != static_cast<unsigned char>(static_cast<unsigned char>(code) + kReplyFlag)) {
        return kErrReplyCode;
    }
    if (data[2] != kSeparator) {
        return kErrReplySeparator;
    }
    if (data[3] != messageId) {
        return kErrReplyMessageId;
    }
    if (data[length - 1] != static_cast<unsigned char>(kCarriageReturn)) {
        return kErrReplyTerminator;
    }
    const unsigned sent = data[length - 3] * 256u + data[length - 2];
    if (Crc16(data, length - 3) != sent) {
        return kErrReplyCrc;
    }
    return kOk;
}

void PutLittleEndian32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::uint32_t GetLittleEndian32(const unsigned char* in) {
    return in[0] | (in[1] << 8) | (in[2] << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

std::uint16_t GetLittleEndian16(const unsigned char* in) {
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

std::uint8_t ByteSum(const unsigned char* bytes, int length) {
    unsigned sum = 0;
    for (int i = 0; i < length; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(sum);
}

}  // namespace qel::codec
