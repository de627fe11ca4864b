// What Orvane and qel-service say when they refuse the channel options, without "ERROR: " and the
// line break that each program puts in front in its own way.
#pragma once

#include <string>

namespace refusals {

inline const std::string kPortNotSet = "Port value was not set.";
inline const std::string kPortNotPositive = "Port value is incorrect. It must be greater then 0.";
inline const std::string kUnknownChannel = "Communication channel is unknown.";
inline const std::string kNoAddress = "IP address was not set.";
inline const std::string kBadAddress = "IP address is incorrect.";
inline const std::string kTcpRange = "Port value is incorrect. It must be in range [1..65535].";
inline const std::string kSerialRange = "Port value is incorrect. It must be in range [1..255].";
// Orvane's pointer to its usage text, after some of them.
inline const std::string kSeeUsage = "\nRun software without parameters to see usage information.";

}  // namespace refusals
