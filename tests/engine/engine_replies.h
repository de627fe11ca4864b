// Wire texts that a device sends to the upgrade sequence's requests, built byte by byte so that a
// test can break exactly one field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frame_codec.h"

namespace engine_replies {

using Bytes = std::vector<std::uint8_t>;

inline std::string Hex(const Bytes& bytes) {
    std::string text(2 * bytes.size(), '0');
    qel::codec::ConvertToHexString(text.data(), bytes.data(), static_cast<int>(bytes.size()));
    return text;
}

// The frame with its CRC16 appended high byte first, as text with the CR.
inline std::string Frame(Bytes frame) {
    const std::uint16_t crc = qel::codec::Crc16(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return Hex(frame) + "\r";
}

inline void PutLittleEndian(Bytes& to, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// The checksum byte that makes the record add up to 0xA5.
inline std::uint8_t Balance(const Bytes& record) {
    unsigned sum = 0;
    for (std::uint8_t b : record) {
        sum += b;
    }
    return static_cast<std::uint8_t>(0xA5 - sum);
}

// The 7-byte reply of a page write, a reset or a block write.
inline std::string Status(std::uint8_t command, std::uint8_t id, std::uint8_t status = 0) {
    return Frame({0x5A, static_cast<std::uint8_t>(command + 0x80), 0x7D, id, status});
}

// A page read reply; the record fields can be given wrong on purpose.
struct PageReply {
    std::uint8_t id = 2;
    std::uint8_t status = 0;
    std::uint8_t recordStart = 0x5A;
    std::uint32_t address = 0x40000;
    std::uint16_t length = 0x0100;
    Bytes data = Bytes(256, 0);
    int checksumError = 0;

    std::string Text() const {
        Bytes record{recordStart};
        PutLittleEndian(record, address, 4);
        PutLittleEndian(record, length, 2);
        Bytes rest = data;
        Bytes all = record;
        all.insert(all.end(), rest.begin(), rest.end());
        record.push_back(static_cast<std::uint8_t>(Balance(all) + checksumError));
        record.insert(record.end(), rest.begin(), rest.end());
        Bytes frame{0x5A, 0x9A, 0x7D, id, status};
        frame.insert(frame.end(), record.begin(), record.end());
        return Frame(frame);
    }
};

// A CRC16 reply of the device for a range; the record fields can be given wrong on purpose.
struct CrcReply {
    std::uint8_t id = 2;
    std::uint8_t status = 0;
    std::uint8_t recordStart = 0x5A;
    std::uint32_t address = 0x40000;
    std::uint32_t size = 256;
    std::uint16_t crc = 0;
    int checksumError = 0;

    std::string Text() const {
        Bytes record{recordStart};
        PutLittleEndian(record, address, 4);
        PutLittleEndian(record, size, 4);
        Bytes crcBytes;
        PutLittleEndian(crcBytes, crc, 2);
        Bytes all = record;
        all.insert(all.end(), crcBytes.begin(), crcBytes.end());
        record.push_back(static_cast<std::uint8_t>(Balance(all) + checksumError));
        record.insert(record.end(), crcBytes.begin(), crcBytes.end());
        Bytes frame{0x5A, 0x9C, 0x7D, id, status};
        frame.insert(frame.end(), record.begin(), record.end());
        return Frame(frame);
    }
};

// A read reply that carries a block in place of the status byte.
inline std::string Block(std::uint8_t command, std::uint8_t id, const Bytes& block) {
    Bytes frame{0x5A, static_cast<std::uint8_t>(command + 0x80), 0x7D, id};
    frame.insert(frame.end(), block.begin(), block.end());
    return Frame(frame);
}

}  // namespace engine_replies
