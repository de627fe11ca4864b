// Splits the program's arguments into the option values, as the operator typed them.
#pragma once

#include <string>

namespace orvane {

// Each value is empty when its option was not given, and cut to its option's capacity.
struct OptionValues {
    std::string channel;   // /c=  7 characters
    std::string address;   // /i= 23
    std::string port;      // /p=  7
    std::string filePath;  // /f= 511
    std::string verify;    // /v=  7
    std::string mode;      // /m=  7
    std::string device;    // /d= 511
};

// Options may come in any order and their letters in any case; a later one replaces an earlier
// one. Arguments that name no option are reported with a warning and skipped.
OptionValues ParseOptions(int argc, const char* const* argv);

// "/?", "-h" or "--help", in any case.
bool IsHelpRequest(const char* argument);

}  // namespace orvane
