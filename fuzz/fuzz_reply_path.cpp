// Every public command of QelProtocol and the upgrade sequence against a device that answers with
// fuzzer bytes. Every output lives in a heap block of exactly its own size, so that a write past
// it is caught; every result must be one of the library's codes; a trace window reads each reply
// text up to its NUL; and an upgrade that reports success must have sent exactly the application
// image, header page last.
//
// Input: command, flags, failing write, failure code, argument, then the device's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "fuzzed_device_channel.h"
#include "platform.h"
#include "protocol_access.h"
#include "qel_protocol.h"

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
class ReplyTextReader : public platform::TraceReceiver {
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

int RunCommand(QelProtocol& protocol, const Input& input) {
    const int address = static_cast<int>(kImageBase) + input.argument * kPageBytes;
    switch (input.command) {
        case kReadConfiguration:
            return protocol.ReadConfiguration(std::make_unique<_qel_configuration>().get());
        case kWriteConfiguration:
            return protocol.WriteConfiguration(
                FilledBlock<_qel_configuration>(input.argument).get());
        case kReadSystemTime:
            return protocol.ReadSystemTime(std::make_unique<_qel_system_time>().get());
        case kWriteSystemTime:
            return protocol.WriteSystemTime(FilledBlock<_qel_system_time>(input.argument).get());
        case kReset:
            return protocol.Reset();
        case kReadMemory:
            return protocol.ReadMemory(address,
                                       std::make_unique<unsigned char[]>(kPageBytes).get());
        case kWriteMemory:
            return protocol.WriteMemory(address,
                                        std::make_unique<unsigned char[]>(kPageBytes).get());
        case kReadMemoryCrc16: {
            auto crc = std::make_unique<std::uint16_t>();
            return protocol.ReadMemoryCRC16(address, input.argument * 16u, *crc);
        }
        case kReadData:
            return protocol.ReadData(std::make_unique<_read_data_reply_data>().get(),
                                     input.argument);
        default: {
            auto length = std::make_unique<std::uint16_t>();
            const int result =
                protocol.ReadRawData(std::make_unique<unsigned char[]>(1024).get(), *length);
            Require(result != qel::kOk || *length <= 1024);
            return result;
        }
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
        platform::SetSleepFunction(&NoPause);
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
                                                 : RunCommand(protocol, input);
    RequireKnownResult(result, input);
    return 0;
}
