// qel-service's command line: the channel options in Orvane's style (/c= /i= /p= /d=, letters in
// any case, values as typed), /json, and then the service command with its operands.
#pragma once

#include <string>
#include <vector>

namespace service {

struct ServiceOptions {
    std::string channel;  // /c=
    std::string address;  // /i=
    std::string port;     // /p=
    std::string device;   // /d=
    bool json = false;    // /json
    bool help = false;    // no arguments, /?, -h or --help
    std::string command;  // the first argument that is not an option
    std::vector<std::string> operands;
    std::vector<std::string> unknown;  // /-arguments that name no option
};

ServiceOptions ParseServiceOptions(const std::vector<std::string>& arguments);

}  // namespace service
