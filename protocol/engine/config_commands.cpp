// The configuration block and the system clock: each call is one exchange with trace
// notifications, moving the device's block byte for byte between the caller's record and the wire.
#include <cstring>

#include "message_layout.h"
#include "qel_protocol.h"

namespace {

using namespace qel::message;

constexpr int kBlockOffset = kHeaderLength;  // read replies carry the block where status would be

template <typename Block>
constexpr int BlockFrameBytes() {
    return kHeaderLength + static_cast<int>(sizeof(Block)) + kCrcLength;
}

}  // namespace

// A read writes the caller's record only once the whole reply has passed every test, so that a
// failed read leaves what the record held.
template <typename Block>
int QelProtocol::ReadBlock(unsigned char command, Block* block) {
    constexpr int kReplyBytes = BlockFrameBytes<Block>();
    unsigned char frame[kBareRequestBytes];
    BeginFrame(frame, command);
    unsigned char reply[kReplyBytes + 1];
    const int result = Exchange(frame, kBareRequestBytes, reply, kReplyBytes, true,
                                command + qel::kReplyFlag, nullptr);
    if (result == qel::kOk) {
        std::memcpy(block, reply + kBlockOffset, sizeof(Block));
    }
    return result;
}

template <typename Block>
int QelProtocol::WriteBlock(unsigned char command, const Block* block) {
    constexpr int kFrameBytes = BlockFrameBytes<Block>();
    unsigned char frame[kFrameBytes];
    BeginFrame(frame, command);
    std::memcpy(frame + kHeaderLength, block, sizeof(Block));
    unsigned char reply[kStatusReplyBytes + 1];
    return StatusExchange(frame, kFrameBytes, reply, kStatusReplyBytes, nullptr);
}

int QelProtocol::ReadConfiguration(_qel_configuration* configuration) {
    return ReadBlock(qel::kCmdReadConfiguration, configuration);
}

int QelProtocol::ReadSystemTime(_qel_system_time* systemTime) {
    return ReadBlock(qel::kCmdReadSystemTime, systemTime);
}

int QelProtocol::WriteConfiguration(const _qel_configuration* configuration) {
    return WriteBlock(qel::kCmdWriteConfiguration, configuration);
}

int QelProtocol::WriteSystemTime(const _qel_system_time* systemTime) {
    return WriteBlock(qel::kCmdWriteSystemTime, systemTime);
}
