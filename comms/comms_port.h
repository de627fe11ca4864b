// What each back end of CComms (termios, Win32) gives the part that both share.
#pragma once

#include <cstdint>

#include "comms.h"

namespace comms_port {

inline constexpr std::intptr_t kNoHandle = -1;  // no descriptor, INVALID_HANDLE_VALUE on Windows
inline constexpr unsigned long kDefaultTimeoutMilliseconds = 1000;

// Whether the back end can run a line with these settings; the port index counts only when no
// device path names the port.
bool SettingsSupported(const comm_settings& settings, bool portIndexUsed);

// A second handle of the same open port, so that each copy closes only its own; kNoHandle when
// none can be had.
std::intptr_t DuplicatePort(std::intptr_t handle);

}  // namespace comms_port
