// Request and reply frames as the device sees them: 'Z', code, '}', message id, payload, CRC16
// high byte first.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qelsim {

inline constexpr std::uint8_t kFrameStart = 0x5A;
inline constexpr std::uint8_t kFrameSeparator = 0x7D;
inline constexpr std::uint8_t kReplyFlag = 0x80;
inline constexpr std::size_t kSmallestFrame = 6;

// The commands the device knows; a reply carries the command plus kReplyFlag.
inline constexpr std::uint8_t kCmdReadConfiguration = 0x02;
inline constexpr std::uint8_t kCmdWriteConfiguration = 0x03;
inline constexpr std::uint8_t kCmdReadRawData = 0x05;
inline constexpr std::uint8_t kCmdReadSystemTime = 0x06;
inline constexpr std::uint8_t kCmdWriteSystemTime = 0x08;
inline constexpr std::uint8_t kCmdReset = 0x0A;
inline constexpr std::uint8_t kCmdWritePage = 0x18;
inline constexpr std::uint8_t kCmdReadPage = 0x1A;
inline constexpr std::uint8_t kCmdMemoryCrc16 = 0x1C;

struct RequestFrame {
    std::uint8_t command = 0;
    std::uint8_t messageId = 0;
    std::vector<std::uint8_t> payload;  // between the message id and the CRC16
};

// What could be read of a request line: the frame when it is sound, otherwise the command and
// message id bytes where the text held them (for the record of what arrived).
struct ParsedRequest {
    std::optional<RequestFrame> frame;
    std::uint8_t command = 0;
    std::uint8_t messageId = 0;
};

ParsedRequest ParseRequestLine(std::string_view line);

// 'Z', command + 0x80, '}', message id, body, CRC16.
std::vector<std::uint8_t> BuildReplyFrame(std::uint8_t command, std::uint8_t messageId,
                                          std::span<const std::uint8_t> body);

// Overwrites the trailing CRC16 with the CRC16 of everything before it.
void SealFrame(std::vector<std::uint8_t>& frame);

// Upper-case hex text followed by the CR.
std::string ToWireText(std::span<const std::uint8_t> frame);

}  // namespace qelsim
