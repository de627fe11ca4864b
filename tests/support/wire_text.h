// The device protocol's wire texts, built byte by byte and independently of the library and of
// the simulator, so that a test can send or expect any request or reply and break exactly one
// field of it. A frame is 5A, the code, 7D, the message id and the payload; on the wire it is
// followed by its CRC16 (high byte first), written in hex digits and ended by a CR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wire {

using Bytes = std::vector<std::uint8_t>;

// CRC-16/ARC, bit by bit.
inline std::uint16_t Crc16Arc(const std::uint8_t* bytes, std::size_t length) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

inline std::uint16_t Crc16Arc(const Bytes& bytes) {
    return Crc16Arc(bytes.data(), bytes.size());
}

// Upper-case hex digits, two a byte.
inline std::string Hex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

// The bytes of a wire text (digits in either case); a CR at the end is left out.
inline Bytes FromHex(std::string_view text) {
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    auto value = [](char digit) { return digit <= '9' ? digit - '0' : (digit | 0x20) - 'a' + 10; };
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(value(text[i]) * 16 + value(text[i + 1])));
    }
    return bytes;
}

inline Bytes LittleEndian(std::uint32_t value, int bytes) {
    Bytes out;
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    return out;
}

inline void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// The checksum byte that makes the record's bytes add up to 0xA5.
inline std::uint8_t Balance(const Bytes& record) {
    unsigned sum = 0;
    for (const std::uint8_t byte : record) {
        sum += byte;
    }
    return static_cast<std::uint8_t>(0xA5 - sum);
}

inline Bytes Frame(std::uint8_t code, std::uint8_t id, const Bytes& payload = {}) {
    Bytes frame{0x5A, code, 0x7D, id};
    Append(frame, payload);
    return frame;
}

// The frame and its CRC16 in hex digits, without the CR: a request as the host writes it before
// its CR.
inline std::string Text(Bytes frame) {
    const std::uint16_t crc = Crc16Arc(frame);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return Hex(frame);
}

// The whole line, with its CR: a reply as the device sends it.
inline std::string Line(const Bytes& frame) {
    return Text(frame) + "\r";
}

inline std::string Request(std::uint8_t command, std::uint8_t id, const Bytes& payload = {}) {
    return Text(Frame(command, id, payload));
}

// The reply of a command that answers with a status byte only.
inline std::string StatusReply(std::uint8_t command, std::uint8_t id, std::uint8_t status = 0) {
    return Line(Frame(static_cast<std::uint8_t>(command + 0x80), id, {status}));
}

// The reply of a command that answers with a block in place of the status byte.
inline std::string BlockReply(std::uint8_t command, std::uint8_t id, const Bytes& block) {
    return Line(Frame(static_cast<std::uint8_t>(command + 0x80), id, block));
}

// Changes the three bytes from `at` so that the CRC16 of any range holding all three stays as it
// was: CRC-16/ARC is linear with a zero start, and a byte followed by its own CRC16 (low byte
// first) has a CRC16 of 0.
inline void ChangeKeepingCrc16(std::uint8_t* at, std::uint8_t marker) {
    const std::uint16_t crc = Crc16Arc(&marker, 1);
    at[0] ^= marker;
    at[1] ^= static_cast<std::uint8_t>(crc & 0xFF);
    at[2] ^= static_cast<std::uint8_t>(crc >> 8);
}

// The fields of a memory record and of the reply around it: right for a block at 0x40000 by
// default, any of them wrong on purpose.
struct Fields {
    std::uint8_t id = 2;
    std::uint8_t status = 0;
    std::uint8_t start = 0x5A;
    std::uint32_t address = 0x40000;
    std::uint32_t length = 256;  // the block's byte count, or the CRC16 range's size
    int checksumError = 0;
};

// Start byte, address, length (two bytes for a block, four for a CRC16 range), the checksum over
// all of it and the content, then the content.
inline Bytes Record(const Fields& fields, int lengthBytes, const Bytes& content = {}) {
    Bytes record{fields.start};
    Append(record, LittleEndian(fields.address, 4));
    Append(record, LittleEndian(fields.length, lengthBytes));
    Bytes summed = record;
    Append(summed, content);
    record.push_back(static_cast<std::uint8_t>(Balance(summed) + fields.checksumError));
    Append(record, content);
    return record;
}

// ---- host requests, without their CR ----

inline std::string WritePageRequest(std::uint8_t id, std::uint32_t address, const Bytes& page) {
    return Request(0x18, id, Record({.address = address}, 2, page));
}

inline std::string ReadPageRequest(std::uint8_t id, std::uint32_t address) {
    return Request(0x1A, id, Record({.address = address}, 2));
}

inline std::string CrcRequest(std::uint8_t id, std::uint32_t address, std::uint32_t size) {
    return Request(0x1C, id, Record({.address = address, .length = size}, 4));
}

// ---- device replies of the memory commands ----

inline std::string ReadReply(const Fields& fields, const Bytes& block) {
    Bytes payload{fields.status};
    Append(payload, Record(fields, 2, block));
    return Line(Frame(0x9A, fields.id, payload));
}

// The CRC16 value travels low byte first.
inline std::string CrcReply(const Fields& fields, std::uint16_t crc) {
    Bytes payload{fields.status};
    Append(payload, Record(fields, 4, LittleEndian(crc, 2)));
    return Line(Frame(0x9C, fields.id, payload));
}

}  // namespace wire
