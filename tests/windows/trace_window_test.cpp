// Trace notifications through Windows' own SendMessageA into a real message-only window.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fake_channel.h"
#include "frame_codec.h"
#include "message_window.h"
#include "qel_protocol.h"
#include "sleep_recorder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr UINT kTraceMessage = 0x401;
constexpr std::uint8_t kFirstId = 2;  // the id of the first request after construction

// The wire text a device sends for frame: its bytes and CRC16 (high byte first) in hex, the CR.
std::string ReplyText(Bytes frame) {
    const std::uint16_t crc = qel::codec::Crc16(frame.data(), static_cast<int>(frame.size()));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    std::string text(2 * frame.size(), '0');
    qel::codec::ConvertToHexString(text.data(), frame.data(), static_cast<int>(frame.size()));
    return text + "\r";
}

Bytes Header(std::uint8_t replyCode) {
    return {0x5A, replyCode, 0x7D, kFirstId};
}

Bytes WithPayload(std::uint8_t replyCode, std::size_t payloadBytes) {
    Bytes frame = Header(replyCode);
    for (std::size_t i = 0; i < payloadBytes; ++i) {
        frame.push_back(static_cast<std::uint8_t>(i));
    }
    return frame;
}

std::string StatusReply(std::uint8_t replyCode) {
    Bytes frame = Header(replyCode);
    frame.push_back(0);
    return ReplyText(frame);
}

void AppendLittleEndian(Bytes& to, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        to.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// Makes the bytes of the record from index start on add up to 0xA5 with the byte at checksumAt.
void Balance(Bytes& frame, std::size_t start, std::size_t checksumAt) {
    unsigned sum = 0;
    for (std::size_t i = start; i < frame.size(); ++i) {
        sum += frame[i];
    }
    frame[checksumAt] = static_cast<std::uint8_t>(0xA5 - sum);
}

constexpr std::uint32_t kBlockAddress = 0x40000;

std::string ReadMemoryReply() {
    Bytes frame = Header(0x9A);
    frame.push_back(0);  // status
    frame.push_back(0x5A);
    AppendLittleEndian(frame, kBlockAddress, 4);
    AppendLittleEndian(frame, 256, 2);
    frame.push_back(0);
    for (int i = 0; i < 256; ++i) {
        frame.push_back(static_cast<std::uint8_t>(i));
    }
    Balance(frame, 5, 12);
    return ReplyText(frame);
}

std::string CrcReply() {
    Bytes frame = Header(0x9C);
    frame.push_back(0);
    frame.push_back(0x5A);
    AppendLittleEndian(frame, kBlockAddress, 4);
    AppendLittleEndian(frame, 256, 4);
    frame.push_back(0);
    AppendLittleEndian(frame, 0xBEEF, 2);
    Balance(frame, 5, 14);
    return ReplyText(frame);
}

std::string RawDataReply() {
    Bytes frame = Header(0x85);
    frame.insert(frame.end(), {0, 0, 0, 0, 0, 0});  // not interpreted
    frame.insert(frame.end(), {0, 0, 0, 3});        // offset, encoding 0, count 3 big-endian
    frame.insert(frame.end(), {0x11, 0x22, 0x33});
    return ReplyText(frame);
}

struct TracedCommand {
    const char* name;
    std::string reply;
    WPARAM requestWParam;
    WPARAM replyWParam;
    int (*run)(QelProtocol&);
};

WPARAM Request(unsigned characters, unsigned code) {
    return (characters << 16) | code;
}

int ReadConfiguration(QelProtocol& p) {
    _qel_configuration configuration{};
    return p.ReadConfiguration(&configuration);
}
int WriteConfiguration(QelProtocol& p) {
    const _qel_configuration configuration{};
    return p.WriteConfiguration(&configuration);
}
int ReadSystemTime(QelProtocol& p) {
    _qel_system_time time{};
    return p.ReadSystemTime(&time);
}
int WriteSystemTime(QelProtocol& p) {
    const _qel_system_time time{};
    return p.WriteSystemTime(&time);
}
int Reset(QelProtocol& p) {
    return p.Reset();
}
int ReadMemory(QelProtocol& p) {
    unsigned char block[256];
    return p.ReadMemory(kBlockAddress, block);
}
int WriteMemory(QelProtocol& p) {
    const unsigned char block[256] = {};
    return p.WriteMemory(kBlockAddress, block);
}
int ReadMemoryCrc16(QelProtocol& p) {
    std::uint16_t crc = 0;
    return p.ReadMemoryCRC16(kBlockAddress, 256, crc);
}
int ReadData(QelProtocol& p) {
    _read_data_reply_data data{};
    return p.ReadData(&data, 0x90);
}
int ReadRawData(QelProtocol& p) {
    unsigned char data[1024];
    std::uint16_t length = 0;
    return p.ReadRawData(data, length);
}

class TraceWindow : public ::testing::TestWithParam<TracedCommand> {};

TEST_P(TraceWindow, ReceivesTheRequestAndTheWholeReply) {
    MessageWindow window;
    ASSERT_NE(window.Window(), nullptr);
    FakeChannel channel;
    channel.QueueReply(GetParam().reply);
    QelProtocol protocol(&channel, 1, 1, window.Window());

    ASSERT_EQ(GetParam().run(protocol), 0);

    const auto& received = window.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, kTraceMessage);
    EXPECT_EQ(received[0].wParam, GetParam().requestWParam);
    EXPECT_EQ(received[0].text, channel.Writes().at(0));
    EXPECT_EQ(received[1].message, kTraceMessage);
    EXPECT_EQ(received[1].wParam, GetParam().replyWParam);
    EXPECT_EQ(received[1].text, GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    PublicCommands, TraceWindow,
    ::testing::Values(
        TracedCommand{"ReadConfiguration", ReplyText(WithPayload(0x82, 34)), Request(12, 0x02),
                      0x82, &ReadConfiguration},
        TracedCommand{"WriteConfiguration", StatusReply(0x83), Request(80, 0x03), 0x83,
                      &WriteConfiguration},
        TracedCommand{"ReadRawData", RawDataReply(), Request(12, 0x05), 0x85, &ReadRawData},
        TracedCommand{"ReadSystemTime", ReplyText(WithPayload(0x86, 16)), Request(12, 0x06), 0x86,
                      &ReadSystemTime},
        TracedCommand{"WriteSystemTime", StatusReply(0x88), Request(44, 0x08), 0x88,
                      &WriteSystemTime},
        TracedCommand{"Reset", StatusReply(0x8A), Request(12, 0x0A), 0x8A, &Reset},
        TracedCommand{"WriteMemory", StatusReply(0x98), Request(540, 0x18), 0x98, &WriteMemory},
        TracedCommand{"ReadMemory", ReadMemoryReply(), Request(28, 0x1A), 0x9A, &ReadMemory},
        TracedCommand{"ReadMemoryCRC16", CrcReply(), Request(32, 0x1C), 0x9C, &ReadMemoryCrc16},
        // The reply code wraps on the wire (0x10) but is notified as a full int.
        TracedCommand{"ReadData", ReplyText(WithPayload(0x10, 93)), Request(12, 0x90), 0x110,
                      &ReadData}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(TraceWindow, AFailedReadLeavesOnlyTheRequestNotification) {
    MessageWindow window;
    ASSERT_NE(window.Window(), nullptr);
    FakeChannel channel;  // no reply queued: the read fails
    QelProtocol protocol(&channel, 1, 1, window.Window());

    EXPECT_EQ(protocol.Reset(), FakeChannel::kSilentCode);
    ASSERT_EQ(window.Received().size(), 1u);
    EXPECT_EQ(window.Received()[0].wParam, Request(12, 0x0A));
}

TEST(TraceWindow, DummySendsItsFourFixedTextsOneSecondApart) {
    SleepRecorder sleeps;
    MessageWindow window;
    ASSERT_NE(window.Window(), nullptr);
    FakeChannel channel;
    QelProtocol protocol(&channel, 1, 1, window.Window());

    protocol.dummy();

    const std::vector<std::pair<WPARAM, std::string>> expected{{5, "Now dummy starting..."},
                                                               {0x85, "Now dummy working..."},
                                                               {0x0A, "Now dummy stop."},
                                                               {0x8A, "Now dummy stop."}};
    ASSERT_EQ(window.Received().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(window.Received()[i].message, kTraceMessage);
        EXPECT_EQ(window.Received()[i].wParam, expected[i].first);
        EXPECT_EQ(window.Received()[i].text, expected[i].second);
    }
    EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{1000, 1000, 1000}));
    EXPECT_TRUE(channel.Calls().empty());
}

}  // namespace
