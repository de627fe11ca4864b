#include "device_frame.h"

#include <algorithm>

#include "hex_text.h"
#include "wire_check.h"

namespace qelsim {

ParsedRequest ParseRequestLine(std::string_view line) {
    ParsedRequest parsed;
    const auto bytes = FromHexText(line);
    if (!bytes) {
        return parsed;
    }
    const std::vector<std::uint8_t>& frame = *bytes;
    if (frame.size() >= 2) {
        parsed.command = frame[1];
    }
    if (frame.size() >= 4) {
        parsed.messageId = frame[3];
    }
    if (frame.size() < kSmallestFrame || frame[0] != kFrameStart || frame[2] != kFrameSeparator) {
        return parsed;
    }
    const std::size_t crcAt = frame.size() - 2;
    const std::uint16_t sent = static_cast<std::uint16_t>(frame[crcAt] << 8 | frame[crcAt + 1]);
    if (Crc16Arc(std::span(frame).first(crcAt)) != sent) {
        return parsed;
    }
    parsed.frame = RequestFrame{
        frame[1], frame[3], std::vector<std::uint8_t>(frame.begin() + 4, frame.begin() + crcAt)};
    return parsed;
}

std::vector<std::uint8_t> BuildReplyFrame(std::uint8_t command, std::uint8_t messageId,
                                          std::span<const std::uint8_t> body) {
    std::vector<std::uint8_t> frame(4 + body.size() + 2);
    frame[0] = kFrameStart;
    frame[1] = static_cast<std::uint8_t>(command + kReplyFlag);
    frame[2] = kFrameSeparator;
    frame[3] = messageId;
    std::copy(body.begin(), body.end(), frame.begin() + 4);
    SealFrame(frame);
    return frame;
}

void SealFrame(std::vector<std::uint8_t>& frame) {
    const std::size_t crcAt = frame.size() - 2;
    const std::uint16_t crc = Crc16Arc(std::span(frame).first(crcAt));
    frame[crcAt] = static_cast<std::uint8_t>(crc >> 8);
    frame[crcAt + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

std::string ToWireText(std::span<const std::uint8_t> frame) {
    return ToHexText(frame) + '\r';
}

}  // namespace qelsim
