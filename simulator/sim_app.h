// The qel-sim program: command line, device, transport, outputs.
#pragma once

#include <string>
#include <vector>

namespace qelsim {

// Returns the exit status: 0 after a clean stop or --help, 1 for a bad command line or a
// transport that cannot be opened.
int RunSimulator(const std::vector<std::string>& arguments);

}  // namespace qelsim
