// Every public command of QelProtocol and the upgrade sequence against a device that answers with
// fuzzer bytes. Every output lives in a heap block of exactly its own size, so that a write past
// it is caught; every result must be one of the library's codes; a command that succeeds hands
// out exactly what the reply held; a trace window reads each reply text up to its NUL; and an
// upgrade that reports success must have sent exactly the application image, header page last.
//
// Input: command, flags, failing write, failure code, argument, then the device's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzzed_device_channel.h"
#include "protocol_access.h"
#include "qel_protocol.h"
#include "qel_sleep.h"

namespace {

constexpr std::size_t kSettingsBytes = 5;
constexpr std::uint32_t kImageBase = 0x40000;
constexpr int kPageBytes = 256;

enum Command {
    kReadConfiguration,
    kWriteConfiguration,
    kReadSystemTime,
    kWriteSystemTime,
    kReset,
    kReadMemory,
    kWriteMemory,
    kReadMemoryCrc16,
    kReadData,
    kReadRawData,
    kUpgrade,
    kCommandCount
};

struct Input {
    int command;
    bool mendReplies;
    bool traceWindow;
    bool executeTwice;
    int runMode;       // 1 to 5
    int verifyMethod;  // 1 or 2
    int failingWrite;
    int writeFailure;
    std::uint8_t argument;
};

// Flags: bit 0 mends replies, bit 1 adds a trace window, bit 2 runs Execute twice, bits 3 to 5
// pick the run mode, bit 7 the FULL verify method.
Input ReadSettings(const std::uint8_t* bytes) {
    static constexpr int kFailures[] = {qel::kErrWrite, qel::kErrWriteIncomplete,
                                        qel::kErrReadClosed, qel::kErrReadTimeout};
    const std::uint8_t flags = bytes[1];
    Input input{};
    input.command = bytes[0] % kCommandCount;
    input.mendReplies = (flags & 0x01) != 0;
    input.traceWindow = (flags & 0x02) != 0;
    input.executeTwice = (flags & 0x04) != 0;
    input.runMode = 1 + ((flags >> 3) & 0x07) % 5;
    input.verifyMethod = (flags & 0x80) != 0 ? 2 : 1;
    input.failingWrite = bytes[2] & 0x3F;
    input.writeFailure = kFailures[bytes[3] % 4];
    input.argument = bytes[4];
    return input;
}

void Require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void RequireKnownResult(int result, const Input& input) {
    const bool known = result == qel::kOk ||
                       (result >= qel::kErrReplyStart && result <= qel::kErrImageCorrupted) ||
                       result == qel::kErrReadRecord || result == qel::kErrReadTimeout ||
                       result == qel::kErrWrite || result == qel::kErrRawEncoding ||
                       result == qel::kErrRawTooLong || result == input.writeFailure;
    Require(known);
}

// Reply texts end with a NUL inside their buffer; reading them whole finds any that does not.
class ReplyTextReader : public qel::TraceReceiver {
  public:
    std::intptr_t OnMessage(unsigned int, std::uintptr_t wParam, std::intptr_t lParam) override {
        const char* text = reinterpret_cast<const char*>(lParam);
        const std::size_t characters = (wParam >> 16) & 0xFFFF;
        m_seen += characters != 0 ? text[characters - 1] : std::strlen(text);
        return 0;
    }

  private:
    std::size_t m_seen = 0;
};

template <typename Block>
std::unique_ptr<Block> FilledBlock(std::uint8_t seed) {
    auto block = std::make_unique<Block>();
    std::memset(block.get(), seed, sizeof(Block));
    return block;
}

// A command that succeeded hands out exactly the bytes of the reply at offset.
void RequireCopied(int result, const void* out, std::size_t size,
                   const FuzzedDeviceChannel& channel, std::size_t offset) {
    if (result != qel::kOk) {
        return;
    }
    const std::vector<std::uint8_t> reply = channel.LastReply();
    Require(reply.size() >= offset + size);
    Require(std::memcmp(out, reply.data() + offset, size) == 0);
}

// The raw data reply's payload after its encoding: plain, or every byte of 0x80 and more twice,
// each moved by the value offset.
std::vector<std::uint8_t> DecodedRawData(const std::vector<std::uint8_t>& reply) {
    constexpr std::size_t kOffsetByte = 10, kEncodingByte = 11, kCountByte = 12, kData = 14;
    const std::size_t count = reply[kCountByte] * 256u + reply[kCountByte + 1];
    std::vector<std::uint8_t> decoded;
    for (std::size_t i = kData; i < kData + count; ++i) {
        const auto value = static_cast<std::uint8_t>(
            reply[i] + (reply[kEncodingByte] == 0 ? 0 : reply[kOffsetByte]));
        decoded.push_back(value);
        if (reply[kEncodingByte] == 1 && reply[i] >= 0x80) {
            decoded.push_back(value);
        }
    }
    return decoded;
}

int ReadRawData(QelProtocol& protocol, const FuzzedDeviceChannel& channel) {
    const auto data = std::make_unique<unsigned char[]>(1024);
    auto length = std::make_unique<std::uint16_t>();
    const int result = protocol.ReadRawData(data.get(), *length);
    if (result == qel::kOk) {
        const std::vector<std::uint8_t> expected = DecodedRawData(channel.LastReply());
        Require(*length == expected.size());
        Require(expected.empty() || std::memcmp(data.get(), expected.data(), expected.size()) == 0);
    }
    return result;
}

// Reply layouts: header of four bytes, then the block; memory replies put a status byte and a
// memory record first.
constexpr std::size_t kBlockAt = 4;
constexpr std::size_t kMemoryDataAt = 13;
constexpr std::size_t kMemoryCrcAt = 15;

int RunCommand(QelProtocol& protocol, const Input& input, const FuzzedDeviceChannel& channel) {
    const int address = static_cast<int>(kImageBase) + input.argument * kPageBytes;
    int result = qel::kOk;
    switch (input.command) {
        case kReadConfiguration: {
            const auto block = std::make_unique<_qel_configuration>();
            result = protocol.ReadConfiguration(block.get());
            RequireCopied(result, block.get(), sizeof *block, channel, kBlockAt);
            return result;
        }
        case kWriteConfiguration:
            return protocol.WriteConfiguration(
                FilledBlock<_qel_configuration>(input.argument).get());
        case kReadSystemTime: {
            const auto block = std::make_unique<_qel_system_time>();
            result = protocol.ReadSystemTime(block.get());
            RequireCopied(result, block.get(), sizeof *block, channel, kBlockAt);
            return result;
        }
        case kWriteSystemTime:
            return protocol.WriteSystemTime(FilledBlock<_qel_system_time>(input.argument).get());
        case kReset:
            return protocol.Reset();
        case kReadMemory: {
            const auto block = std::make_unique<unsigned char[]>(kPageBytes);
            result = protocol.ReadMemory(address, block.get());
            RequireCopied(result, block.get(), kPageBytes, channel, kMemoryDataAt);
            return result;
        }
        case kWriteMemory:
            return protocol.WriteMemory(address,
                                        std::make_unique<unsigned char[]>(kPageBytes).get());
        case kReadMemoryCrc16: {
            auto crc = std::make_unique<std::uint16_t>();
            result = protocol.ReadMemoryCRC16(address, input.argument * 16u, *crc);
            const std::uint8_t littleEndian[2] = {static_cast<std::uint8_t>(*crc & 0xFF),
                                                  static_cast<std::uint8_t>(*crc >> 8)};
            RequireCopied(result, littleEndian, 2, channel, kMemoryCrcAt);
            return result;
        }
        case kReadData: {
            const auto block = std::make_unique<_read_data_reply_data>();
            result = protocol.ReadData(block.get(), input.argument);
            RequireCopied(result, block.get(), sizeof *block, channel, kBlockAt);
            return result;
        }
        default:
            return ReadRawData(protocol, channel);
    }
}

// A successful write, in the run modes that write, leaves every page of the application image on
// the device as prepared, and the header page written after all the others.
void RequireImageSent(QelProtocolTestAccess& access, const FuzzedDeviceChannel& channel) {
    const auto& pages = channel.Pages();
    for (int offset = 0; offset < access.DataSize(); offset += kPageBytes) {
        const auto page = pages.find(kImageBase + static_cast<std::uint32_t>(offset));
        Require(page != pages.end());
        Require(std::memcmp(page->second.data(), access.DataBuffer() + offset, kPageBytes) == 0);
    }
    Require(!channel.PageOrder().empty() && channel.PageOrder().back() == kImageBase);
}

int RunUpgrade(QelProtocol& protocol, const Input& input, const FuzzedDeviceChannel& channel) {
    // A small image of one to four pages, held in a block of exactly its end.
    const int first = 16;
    const int end = first + 1 + input.argument * 3;
    const auto image = std::make_unique<char[]>(static_cast<std::size_t>(end));
    for (int i = 0; i < end; ++i) {
        image[static_cast<std::size_t>(i)] = static_cast<char>(i * 7 + 1);
    }
    Require(protocol.PrepareDataBuffer(image.get(), first, end) == qel::kOk);
    protocol.ResetUpgrade();
    int result = protocol.Execute();
    if (input.executeTwice) {
        RequireKnownResult(result, input);
        result = protocol.Execute();
    }
    QelProtocolTestAccess access(protocol);
    const bool writes = input.runMode == 1 || input.runMode == 2;
    if (result == qel::kOk && writes && !input.executeTwice) {
        RequireImageSent(access, channel);
    }
    return result;
}

void NoPause(unsigned long) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const bool quiet = [] {
        qel::SetSleepFunction(&NoPause);
        return std::freopen("/dev/null", "w", stdout) != nullptr;
    }();
    (void)quiet;
    if (size < kSettingsBytes) {
        return 0;
    }
    const Input input = ReadSettings(bytes);
    FuzzedDeviceChannel channel(bytes + kSettingsBytes, size - kSettingsBytes,
                                {input.mendReplies, input.failingWrite, input.writeFailure});
    ReplyTextReader window;
    QelProtocol protocol(&channel, input.verifyMethod, input.runMode,
                         input.traceWindow ? &window : nullptr);
    const int result = input.command == kUpgrade ? RunUpgrade(protocol, input, channel)
                                                 : RunCommand(protocol, input, channel);
    RequireKnownResult(result, input);
    return 0;
}
