#include <cstring>

#include "number_text.h"
#include "service_commands.h"

namespace service {
namespace {

template <class Record>
std::string RecordHex(const Record& record) {
    return HexBytes(record.bytes, sizeof record.bytes);
}

// A fixed-size block read from the device and reported in hex under key and label.
template <class Record>
Outcome ReadBlock(QelProtocol& protocol, int (QelProtocol::*read)(Record*), Report& report,
                  const char* key, const char* label, const char* failure) {
    Record record{};
    const int result = (protocol.*read)(&record);
    if (result != qel::kOk) {
        return Outcome::Device(result, failure);
    }
    report.Add(key, label, RecordHex(record));
    return Outcome::Ok();
}

// A fixed-size block written to the device from the request's bytes, which the command line
// has checked to be exactly the block's size.
template <class Record>
Outcome WriteBlock(QelProtocol& protocol, int (QelProtocol::*write)(const Record*),
                   const ServiceRequest& request, const char* failure) {
    Record record{};
    std::memcpy(record.bytes, request.bytes.data(), sizeof record.bytes);
    const int result = (protocol.*write)(&record);
    return result == qel::kOk ? Outcome::Ok() : Outcome::Device(result, failure);
}

Outcome RawData(QelProtocol& protocol, Report& report) {
    unsigned char data[1024];
    std::uint16_t length = 0;
    const int result = protocol.ReadRawData(data, length);
    if (result != qel::kOk) {
        return Outcome::Device(result, "Cannot read raw data.");
    }
    report.Add("length", "Raw data length", std::uint64_t{length});
    report.Add("data", "Raw data", HexBytes(data, length));
    return Outcome::Ok();
}

Outcome DataReply(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    _read_data_reply_data data{};
    const int result = protocol.ReadData(&data, request.code);
    if (result != qel::kOk) {
        return Outcome::Device(result, "Cannot read the data reply.");
    }
    report.Add("code", "Code", HexNumber{request.code, 2});
    report.Add("data", "Data", RecordHex(data));
    return Outcome::Ok();
}

Outcome Reset(QelProtocol& protocol) {
    const int result = protocol.Reset();
    return result == qel::kOk ? Outcome::Ok() : Outcome::Device(result, "Cannot reset the device.");
}

}  // namespace

Outcome RunBlockCommand(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    switch (request.command) {
        case Command::kReadConfig:
            return ReadBlock(protocol, &QelProtocol::ReadConfiguration, report, "configuration",
                             "Configuration", "Cannot read the configuration.");
        case Command::kWriteConfig:
            return WriteBlock(protocol, &QelProtocol::WriteConfiguration, request,
                              "Cannot write the configuration.");
        case Command::kReadClock:
            return ReadBlock(protocol, &QelProtocol::ReadSystemTime, report, "clock",
                             "System clock", "Cannot read the system clock.");
        case Command::kWriteClock:
            return WriteBlock(protocol, &QelProtocol::WriteSystemTime, request,
                              "Cannot write the system clock.");
        case Command::kRawData:
            return RawData(protocol, report);
        case Command::kData:
            return DataReply(protocol, request, report);
        default:
            return Reset(protocol);
    }
}

Outcome RunCommand(QelProtocol& protocol, const ServiceRequest& request, Report& report) {
    switch (request.command) {
        case Command::kReadMemory:
        case Command::kWriteMemory:
        case Command::kCrc:
            return RunMemoryCommand(protocol, request, report);
        default:
            return RunBlockCommand(protocol, request, report);
    }
}

}  // namespace service
