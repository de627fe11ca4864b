// qel-service as a whole: command line in, exit status out.
#pragma once

#include <string>
#include <vector>

#include "channel_factory.h"
#include "service_printer.h"

namespace service {

// Runs the command line (without the program name) over a channel from factory.
int RunService(const std::vector<std::string>& arguments, const cli::ChannelFactory& factory,
               Printer& printer);

// What main calls: the library's own channels and standard output.
int RunServiceMain(int argc, const char* const* argv);

}  // namespace service
