// The banner and the usage text of the program.
#pragma once

namespace orvane {

void PrintBanner();
void PrintUsage();

}  // namespace orvane
