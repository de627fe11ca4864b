// Rows of text cells printed in columns, each as wide as its widest cell, two blanks apart.
#pragma once

#include <string>
#include <vector>

#include "event_sink.h"

namespace orvane {

using Row = std::vector<std::string>;

// Prints every row to sink as its own line ("\n" first, blanks at the end cut off).
void PrintAligned(const std::vector<Row>& rows, qel::EventSink& sink);

}  // namespace orvane
