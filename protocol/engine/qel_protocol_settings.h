// What a caller hands QelProtocol's constructor, and the message number of its trace
// notifications.
#pragma once

namespace qel {

// Verify methods: any value other than kVerifyMethodFull verifies by CRC16 alone.
inline constexpr int kVerifyMethodCrc16 = 1;
inline constexpr int kVerifyMethodFull = 2;  // CRC16, then every page read back and compared

// Run modes: any other value runs every step, as kRunModeAll does.
inline constexpr int kRunModeAll = 1;
inline constexpr int kRunModeWriteOnly = 2;
inline constexpr int kRunModeVerifyOnly = 3;
inline constexpr int kRunModeResetOnly = 4;
inline constexpr int kRunModeBlind = 5;  // passes over failed steps, then waits for the device

// The window message of every trace notification (WM_USER + 1).
inline constexpr unsigned int kTraceMessage = 0x401;

}  // namespace qel
