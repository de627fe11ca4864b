// qel-service's command line: the channel options shared with Orvane (/c= /i= /p= /d=, letters in
// any case, values as typed), /json, and then the service command with its operands.
#pragma once

#include <string>
#include <vector>

#include "option_table.h"
#include "output_mode.h"

namespace service {

struct ServiceOptions {
    cli::ParsedOptions values;  // the options of the table, by name
    bool json = false;          // /json
    bool help = false;          // no arguments, /?, -h or --help
    std::string command;        // the first argument that is not an option, in lower case
    std::vector<std::string> operands;
    std::vector<std::string> unknown;  // /-arguments that name no option
};

ServiceOptions ParseServiceOptions(const std::vector<std::string>& arguments);

}  // namespace service
