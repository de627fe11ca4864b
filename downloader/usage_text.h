// The banner and the usage text of the program.
#pragma once

#include <string>

#include "event_sink.h"

namespace orvane {

inline constexpr const char* kProgramName = "Orvane";
inline constexpr const char* kProgramVersion = "1.02";

void PrintBanner(qel::EventSink& sink);
void PrintUsage(qel::EventSink& sink);
// The usage text as PrintUsage prints it, in one piece.
std::string UsageText();

}  // namespace orvane
