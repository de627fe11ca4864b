// The configuration block and the system clock: each call is one exchange with trace
// notifications, moving the device's block byte for byte between the caller's record and the wire.
#include <cstring>

#include "frame_codec.h"
#include "qel_protocol.h"

namespace {

using namespace qel::codec;

constexpr int kStatusOffset = 4;
constexpr int kStatusReplyBytes = 7;  // start, code, separator, id, status, CRC16
constexpr int kBareFrameBytes = kHeaderLength + kCrcLength;
constexpr int kBlockOffset = kHeaderLength;  // read replies carry the block where status would be

template <typename Block>
constexpr int BlockFrameBytes() {
    return kHeaderLength + static_cast<int>(sizeof(Block)) + kCrcLength;
}

}  // namespace

// A read writes the caller's record only once the whole reply has passed every test, so that a
// failed read leaves what the record held.
int QelProtocol::ReadConfiguration(_qel_configuration* configuration) {
    constexpr int kReplyBytes = BlockFrameBytes<_qel_configuration>();
    unsigned char frame[kBareFrameBytes];
    BeginFrame(frame, qel::kCmdReadConfiguration);
    unsigned char reply[kReplyBytes + 1];
    const int result = Exchange(frame, kBareFrameBytes, reply, kReplyBytes, true,
                                qel::kCmdReadConfiguration + qel::kReplyFlag, nullptr);
    if (result == qel::kOk) {
        std::memcpy(configuration, reply + kBlockOffset, sizeof(_qel_configuration));
    }
    return result;
}

int QelProtocol::ReadSystemTime(_qel_system_time* systemTime) {
    constexpr int kReplyBytes = BlockFrameBytes<_qel_system_time>();
    unsigned char frame[kBareFrameBytes];
    BeginFrame(frame, qel::kCmdReadSystemTime);
    unsigned char reply[kReplyBytes + 1];
    const int result = Exchange(frame, kBareFrameBytes, reply, kReplyBytes, true,
                                qel::kCmdReadSystemTime + qel::kReplyFlag, nullptr);
    if (result == qel::kOk) {
        std::memcpy(systemTime, reply + kBlockOffset, sizeof(_qel_system_time));
    }
    return result;
}

int QelProtocol::WriteConfiguration(const _qel_configuration* configuration) {
    constexpr int kFrameBytes = BlockFrameBytes<_qel_configuration>();
    unsigned char frame[kFrameBytes];
    BeginFrame(frame, qel::kCmdWriteConfiguration);
    std::memcpy(frame + kHeaderLength, configuration, sizeof(_qel_configuration));
    unsigned char reply[kStatusReplyBytes + 1];
    const int result = Exchange(frame, kFrameBytes, reply, kStatusReplyBytes, true,
                                qel::kCmdWriteConfiguration + qel::kReplyFlag, nullptr);
    if (result != qel::kOk) {
        return result;
    }
    return reply[kStatusOffset] == 0 ? qel::kOk : qel::kErrReplyStatus;
}

int QelProtocol::WriteSystemTime(const _qel_system_time* systemTime) {
    constexpr int kFrameBytes = BlockFrameBytes<_qel_system_time>();
    unsigned char frame[kFrameBytes];
    BeginFrame(frame, qel::kCmdWriteSystemTime);
    std::memcpy(frame + kHeaderLength, systemTime, sizeof(_qel_system_time));
    unsigned char reply[kStatusReplyBytes + 1];
    const int result = Exchange(frame, kFrameBytes, reply, kStatusReplyBytes, true,
                                qel::kCmdWriteSystemTime + qel::kReplyFlag, nullptr);
    if (result != qel::kOk) {
        return result;
    }
    return reply[kStatusOffset] == 0 ? qel::kOk : qel::kErrReplyStatus;
}
