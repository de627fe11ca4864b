// Ctrl+C, Ctrl+Break and SIGTERM end qel-sim cleanly on Windows: each only raises the flag that
// every wait looks at.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <csignal>

#include "stop_signal.h"

namespace qelsim {
namespace {

std::atomic<bool> g_stop{false};

void OnStopSignal(int) {
    g_stop = true;
}

BOOL WINAPI OnConsoleEvent(DWORD) {
    g_stop = true;
    return TRUE;
}

}  // namespace

void InstallStopHandlers() {
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
    std::signal(SIGINT, &OnStopSignal);
    std::signal(SIGTERM, &OnStopSignal);
}

bool StopRequested() {
    return g_stop;
}

}  // namespace qelsim
