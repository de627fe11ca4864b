// The frame codec shared by every command: CRCs, hex text, message ids and the reply check.
// Internal to the library; QelProtocol's private members forward here and tests call it directly.
#pragma once

#include <cstdint>

namespace qel::codec {

inline constexpr std::uint8_t kStartByte = 0x5A;   // 'Z'
inline constexpr std::uint8_t kSeparator = 0x7D;   // '}'
inline constexpr std::uint8_t kRecordSeed = 0xA5;  // memory record checksum seed
inline constexpr char kCarriageReturn = 0x0D;
inline constexpr int kHeaderLength = 4;  // start byte, code, separator, message id
inline constexpr int kCrcLength = 2;

// CRC-16/ARC, one table step a byte; 0 for a length of 0 or less.
std::uint16_t Crc16(const unsigned char* bytes, int length);
// The CRC16 of bytes that follow others whose CRC16 is start: Crc16 of the whole.
std::uint16_t Crc16Continue(std::uint16_t start, const unsigned char* bytes, int length);
// The seed minus the sum of the bytes, modulo 256; 0 (not the seed) for a length of 0 or less.
std::uint8_t Crc8(const unsigned char* bytes, int length, std::uint8_t seed);
// 2 * length uppercase hex digits, no terminator; nothing for null pointers or length <= 0.
void ConvertToHexString(char* output, const unsigned char* bytes, int length);
// Reply text (ending with the CR and a NUL) to bytes: the hex pairs, then the last character as
// it is. 0, or 5010 at the first character that is not a hex digit.
int ConvertToBinary(unsigned char* output, const char* text);
int HexCharToByte(char character, unsigned char& value);
int Hex2CharToByte(const char* characters, unsigned char& value);
// The id after current: 1 to 254, never 0 or 255.
std::uint8_t NextMessageId(std::uint8_t current);
// Checks a converted reply of length bytes (frame and CR) for command code and message id:
// 0 or 5001 to 5006, the first failing check deciding.
int CheckReply(const unsigned char* data, char code, int length, std::uint8_t messageId);

// Little-endian fields of the memory record.
void PutLittleEndian32(unsigned char* out, std::uint32_t value);
std::uint32_t GetLittleEndian32(const unsigned char* in);
std::uint16_t GetLittleEndian16(const unsigned char* in);
// Sum of the bytes modulo 256.
std::uint8_t ByteSum(const unsigned char* bytes, int length);

}  // namespace qel::codec
