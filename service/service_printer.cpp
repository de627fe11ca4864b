#include "service_printer.h"

#include <cstdio>

namespace service {

void StdoutPrinter::Write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

}  // namespace service
