// The device side of the host's worked examples: the same bytes must come out of an independent
// peer.
#include <gtest/gtest.h>

#include "device_model.h"
#include "expected_image.h"
#include "wire_check.h"
#include "wire_text.h"

namespace {

using wire::Bytes;

TEST(WireVectors, Crc16ArcCheckValue) {
    const std::string digits = "123456789";
    EXPECT_EQ(qelsim::Crc16Arc(Bytes(digits.begin(), digits.end())), 0xBB3D);
    EXPECT_EQ(qelsim::Crc16Arc({}), 0x0000);
}

TEST(WireVectors, ResetForMessageIdTwo) {
    qelsim::DeviceModel device;
    EXPECT_EQ(device.HandleRequest("5A0A7D024B92"), "5A8A7D02006DE3\r");
    EXPECT_EQ(device.ResetCount(), 1U);
}

TEST(WireVectors, RequestInLowerCaseIsAnsweredTheSame) {
    qelsim::DeviceModel device;
    EXPECT_EQ(device.HandleRequest("5a0a7d024b92"), "5A8A7D02006DE3\r");
}

TEST(WireVectors, FirstClearPageOfTheHeaderPage) {
    Bytes frame{0x5A, 0x18, 0x7D, 0x02, 0x5A, 0x00, 0x00, 0x04, 0x00, 0x00, 0x01, 0x46};
    frame.insert(frame.end(), 256, 0xFF);
    frame.push_back(0xA6);
    frame.push_back(0xD2);
    qelsim::DeviceModel device;
    device.Memory()[0x40000] = 0x12;
    EXPECT_EQ(device.HandleRequest(wire::Hex(frame)), "5A987D020015E6\r");
    EXPECT_EQ(device.Memory()[0x40000], 0xFF);
    const auto& request = device.Requests().back();
    EXPECT_EQ(request.address, 0x40000U);
    EXPECT_EQ(request.length, 256U);
}

TEST(WireVectors, Crc16OfTheAbcImage) {
    qelsim::DeviceModel device;
    device.HandleRequest(wire::WritePageRequest(2, 0x40000, expected::AbcImage()));
    const Bytes reply = wire::FromHex(*device.HandleRequest(wire::CrcRequest(3, 0x40000, 256)));
    ASSERT_EQ(reply.size(), 19U);
    EXPECT_EQ(reply[4], 0x00);                                 // status
    EXPECT_EQ(qelsim::ByteSum({reply.data() + 5, 12}), 0xA5);  // record adds up
    EXPECT_EQ(reply[15] | reply[16] << 8, 0x6B7A);             // low byte first
}

TEST(WireVectors, AbcImageBoots) {
    qelsim::DeviceModel device;
    device.HandleRequest(wire::WritePageRequest(2, 0x40000, expected::AbcImage()));
    device.HandleRequest(wire::Request(0x0A, 3));
    EXPECT_EQ(device.LastBootVerdict(), "boot ok");
}

}  // namespace
