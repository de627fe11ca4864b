// Windows has no pseudo-terminals: qel-sim serves TCP there.
#include <cstdio>

#include "pty_server.h"

namespace qelsim {

int ServePty(SimulatedDevice&) {
    std::fprintf(stderr, "qel-sim: --pty needs a POSIX system; on Windows serve with --tcp\n");
    return 1;
}

}  // namespace qelsim
