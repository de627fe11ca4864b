// The application image: a 64-byte header with the image length and two CRC16s, the firmware data
// and zero fill up to whole pages, as the device keeps it from 0x40000.
#include <cstring>
#include <new>

#include "application_layout.h"
#include "event_emitter.h"
#include "frame_codec.h"
#include "qel_protocol.h"

namespace {

using namespace qel::layout;

constexpr std::uint32_t kMagic = 0xA500FF5A;
constexpr int kLengthOffset = 4;
constexpr int kDataCrcOffset = 8;
constexpr int kHeaderCrcOffset = 62;

// Header and data rounded up to whole pages, with at least one byte of zero fill: a length that
// fills its last page exactly gets one more page.
int ApplicationImageSize(int imageLength) {
    return kPageBytes * ((imageLength + kHeaderBytes) / kPageBytes + 1);
}

bool IsDataRange(const char* image, int first, int end) {
    return image != nullptr && first >= 0 && end > first && end <= kFirmwareImageBytes;
}

// Unlike the frames, the header stores its CRC16s low byte first.
void PutCrcLowFirst(unsigned char* out, std::uint16_t crc) {
    out[0] = static_cast<unsigned char>(crc & 0xFF);
    out[1] = static_cast<unsigned char>(crc >> 8);
}

}  // namespace

int QelProtocol::PrepareDataBuffer(char* image, int first, int end) {
    // A refused range or a failed allocation keeps the image prepared before.
    if (!IsDataRange(image, first, end)) {
        return qel::kErrNoImage;
    }
    const int imageLength = end - first;
    const int size = ApplicationImageSize(imageLength);
    auto* buffer = new (std::nothrow) unsigned char[static_cast<std::size_t>(size)]();
    if (buffer == nullptr) {
        return qel::kErrNoImage;
    }
    std::memcpy(buffer + kHeaderBytes, image + first, static_cast<std::size_t>(imageLength));

    qel::codec::PutLittleEndian32(buffer, kMagic);
    qel::codec::PutLittleEndian32(buffer + kLengthOffset, static_cast<std::uint32_t>(imageLength));
    const std::uint16_t dataCrc = Crc16(buffer + kHeaderBytes, imageLength);
    PutCrcLowFirst(buffer + kDataCrcOffset, dataCrc);
    const std::uint16_t headerCrc = Crc16(buffer, kHeaderCrcOffset);
    PutCrcLowFirst(buffer + kHeaderCrcOffset, headerCrc);

    delete[] m_dataBuffer;
    m_dataBuffer = buffer;
    m_dataSize = size;
    m_imageVerified = false;  // a new image is in no device yet

    const qel::EventFields trace{.kind = QEL_EVENT_TRACE, .phase = QEL_PHASE_PREPARE};
    qel::EventEmitter events = Events();
    events.Emit(trace, "\nDBG: APP INFO");
    events.Emit(trace, "\nDBG: DATA SIZE: %d", m_dataSize);
    events.Emit(trace, "\nDBG: IMG  SIZE: %d", imageLength);
    events.Emit(trace, "\nDBG: IMG CRC16: 0x%x", static_cast<unsigned>(dataCrc));
    events.Emit(trace, "\nDBG: AIH CRC16: 0x%x", static_cast<unsigned>(headerCrc));
    return qel::kOk;
}
