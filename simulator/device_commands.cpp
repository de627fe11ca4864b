// What the device answers to each command. A refused or malformed request gets status 1 and a
// reply of the usual length, so that the host reads a whole reply and sees the status.
#include <algorithm>
#include <cstring>

#include "device_model.h"
#include "fault_list.h"
#include "memory_record.h"
#include "wire_check.h"

namespace qelsim {
namespace {

constexpr std::uint8_t kStatusOk = 0;
constexpr std::uint8_t kStatusRefused = 1;

}  // namespace

DeviceModel::Answer DeviceModel::Dispatch(const RequestFrame& request, RequestRecord& record,
                                          bool refuse) {
    switch (request.command) {
        case kCmdReadConfiguration: {
            const auto& block = m_options.configuration;
            return {{block.begin(), block.end()}, false, false};
        }
        case kCmdWriteConfiguration:
            return WriteConfiguration(request, refuse);
        case kCmdReadRawData:
            return ReadRawData();
        case kCmdReadSystemTime: {
            const ClockBlockBytes block = m_clock.Read(Now());
            return {{block.begin(), block.end()}, false, false};
        }
        case kCmdWriteSystemTime:
            return WriteSystemTime(request, refuse);
        case kCmdReset: {
            Answer answer = WithStatus(refuse ? kStatusRefused : kStatusOk);
            answer.resetAccepted = !refuse;
            return answer;
        }
        case kCmdWritePage:
            return WritePage(request, refuse);
        case kCmdReadPage:
            return ReadPage(request, refuse, record);
        case kCmdMemoryCrc16:
            return MemoryCrc16(request, refuse, record);
        default: {
            const auto& block = m_options.dataPayload;
            return {{block.begin(), block.end()}, false, false};
        }
    }
}

DeviceModel::Answer DeviceModel::WithStatus(std::uint8_t status) const {
    return {{status}, true, false};
}

// Memory reads answer with their status followed by a memory record.
DeviceModel::Answer DeviceModel::WithRecord(std::uint8_t status,
                                            const std::vector<std::uint8_t>& record) const {
    Answer answer = WithStatus(status);
    answer.body.insert(answer.body.end(), record.begin(), record.end());
    return answer;
}

DeviceModel::Answer DeviceModel::WriteConfiguration(const RequestFrame& request, bool refuse) {
    if (refuse || request.payload.size() != kConfigurationSize) {
        return WithStatus(kStatusRefused);
    }
    std::copy(request.payload.begin(), request.payload.end(), m_options.configuration.begin());
    return WithStatus(kStatusOk);
}

DeviceModel::Answer DeviceModel::WriteSystemTime(const RequestFrame& request, bool refuse) {
    if (refuse || request.payload.size() != kClockBlockSize) {
        return WithStatus(kStatusRefused);
    }
    const std::span<const std::uint8_t, kClockBlockSize> block(request.payload.data(),
                                                               kClockBlockSize);
    return WithStatus(m_clock.Set(block, Now()) ? kStatusOk : kStatusRefused);
}

DeviceModel::Answer DeviceModel::ReadRawData() const {
    const RawDataReply& raw = m_options.rawData;
    const std::size_t count = std::min<std::size_t>(raw.data.size(), 0xFFFF);
    Answer answer{{raw.info.begin(), raw.info.end()}, false, false};
    answer.body.push_back(raw.valueOffset);
    answer.body.push_back(raw.encoding);
    answer.body.push_back(static_cast<std::uint8_t>(count >> 8));  // big-endian, unlike records
    answer.body.push_back(static_cast<std::uint8_t>(count & 0xFF));
    answer.body.insert(answer.body.end(), raw.data.begin(),
                       raw.data.begin() + static_cast<std::ptrdiff_t>(count));
    return answer;
}

bool DeviceModel::InMemory(std::uint64_t address, std::uint64_t length) const {
    return address <= m_memory.size() && length <= m_memory.size() - address;
}

DeviceModel::Answer DeviceModel::WritePage(const RequestFrame& request, bool refuse) {
    const auto record = ParseRecord(request.payload, LengthField::k16Bit, kPageSize);
    if (refuse || !record || record->length != kPageSize || !InMemory(record->address, kPageSize)) {
        return WithStatus(kStatusRefused);
    }
    std::copy(record->content.begin(), record->content.end(),
              m_memory.begin() + static_cast<std::ptrdiff_t>(record->address));
    return WithStatus(kStatusOk);
}

DeviceModel::Answer DeviceModel::ReadPage(const RequestFrame& request, bool refuse,
                                          RequestRecord& noted) const {
    const auto record = ParseRecord(request.payload, LengthField::k16Bit, 0);
    const auto [address, length, ignored] =
        PeekRecord(request.payload, LengthField::k16Bit).value_or(MemoryRecord{});
    std::vector<std::uint8_t> page(kPageSize, 0x00);
    std::uint8_t status = kStatusOk;
    if (refuse || !record || length != kPageSize || !InMemory(address, kPageSize)) {
        status = kStatusRefused;
    } else {
        std::memcpy(page.data(), m_memory.data() + address, kPageSize);
        if (m_options.flipReadAddress == address) {
            // A fault on the way back only: memory and its CRC16 stay right.
            AddFault(noted.faults, "flip-read");
            page[kPageSize / 2] ^= 0x01;
        }
    }
    return WithRecord(status, BuildRecord(address, length, LengthField::k16Bit, page));
}

DeviceModel::Answer DeviceModel::MemoryCrc16(const RequestFrame& request, bool refuse,
                                             RequestRecord& record) const {
    const auto parsed = ParseRecord(request.payload, LengthField::k32Bit, 0);
    const auto [address, size, ignored] =
        PeekRecord(request.payload, LengthField::k32Bit).value_or(MemoryRecord{});
    std::uint8_t status = kStatusOk;
    std::uint16_t crc = 0;
    if (refuse || !parsed || !InMemory(address, size)) {
        status = kStatusRefused;
    } else {
        crc = Crc16Arc(std::span(m_memory).subspan(address, size));
        if (m_options.lieAboutCrc16) {
            AddFault(record.faults, "lie-crc");
            crc ^= 0xFFFF;
        }
    }
    const std::uint8_t value[2] = {static_cast<std::uint8_t>(crc & 0xFF),
                                   static_cast<std::uint8_t>(crc >> 8)};
    return WithRecord(status, BuildRecord(address, size, LengthField::k32Bit, value));
}

}  // namespace qelsim
