#include <cstring>

#include "number_text.h"
#include "service_commands.h"

namespace service {
namespace {

template <class Record>
std::string RecordHex(const Record& record) {
    return HexBytes(record.bytes, sizeof record.bytes);
}

Outcome ReadConfig(QelProtocol& protocol, Report& report) {
    _qel_configuration configuration{};
    const int result = protocol.ReadConfiguration(&configuration);
    if (result != qel::kOk) {
        return Outcome::Device(result, "Cannot read the configuration.");
    }
    report.Add("configuration", "Configuration", RecordHex(configuration));
    return Outcome::Ok();
}

Outcome WriteConfig(QelProtocol& protocol, const ServiceRequest& request) {
    _qel_configuration configuration{};
    std::memcpy(configuration.bytes, request.bytes.data(), sizeof configuration.bytes);
    const int result = protocol.WriteConfiguration(&configuration);
    return result == qel::kOk ? Outcome::Ok()
                              : Outcome::Device(result, "Cannot write the configuration.");
}

Outcome ReadClock(QelProtocol& protocol, Report& report) {
    _qel_system_time clock{};
    const int result = protocol.ReadSystemTime(&clock);
    if (result != qel::kOk) {
        return Outcome::Device(result, "Cannot read the system clock.");
    }
    report.Add("clock", "System clock", RecordHex(clock));
    return Outcome::Ok();
}

Outcome WriteClock(QelProtocol& protocol, const ServiceRequest& request) {
    _qel_system_time clock{};
    std::memcpy(clock.bytes, request.bytes.data(), sizeof clock.bytes);
    const int result = protocol.WriteSystemTime(&clock);
    return result == qel::kOk ? Outcome::Ok()
                              : Outcome::Device(result, "Cannot write the system clock.");
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
            return ReadConfig(protocol, report);
        case Command::kWriteConfig:
            return WriteConfig(protocol, request);
        case Command::kReadClock:
            return ReadClock(protocol, report);
        case Command::kWriteClock:
            return WriteClock(protocol, request);
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
