// SIGINT and SIGTERM end qel-sim cleanly: they only raise a flag that every wait looks at.
#pragma once

namespace qelsim {

void InstallStopHandlers();
bool StopRequested();

}  // namespace qelsim
