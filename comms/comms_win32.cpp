// Windows back end of CComms: a COM port through CreateFile, its line through the DCB (no flow
// control of any kind), and every wait through COMMTIMEOUTS set for what is left of the call's
// one deadline.
#include <windows.h>

#include "comms.h"
#include "comms_port.h"

namespace {

using comms_port::kNoHandle;
// ReadFile and WriteFile take a DWORD count; a larger call goes in pieces of this size.
constexpr unsigned long kLargestPiece = 1UL << 30;

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

BYTE ParityFor(std::int32_t parity) {
    switch (parity) {
        case kCommsParityOdd:
            return ODDPARITY;
        case kCommsParityEven:
            return EVENPARITY;
        default:
            return NOPARITY;
    }
}

BYTE StopBitsFor(std::int32_t stopBits) {
    return stopBits == kCommsStopBitsTwo ? TWOSTOPBITS : ONESTOPBIT;
}

// With flow control off XON/XOFF never act; the characters and limits only have to be valid: the
// usual DC1 and DC3, and limits small enough for the smallest input queue a driver keeps.
constexpr char kXonCharacter = 0x11;
constexpr char kXoffCharacter = 0x13;
constexpr WORD kXonLimit = 256;
constexpr WORD kXoffLimit = 256;

bool LineMatches(const DCB& line, const comm_settings& settings) {
    return line.BaudRate == static_cast<DWORD>(settings.baud) &&
           line.ByteSize == settings.dataBits && line.Parity == ParityFor(settings.parity) &&
           line.StopBits == StopBitsFor(settings.stopBits) && !line.fOutxCtsFlow &&
           !line.fOutxDsrFlow && !line.fOutX && !line.fInX;
}

// What is left until the deadline, as a COMMTIMEOUTS constant: 0 once it has passed, and never
// MAXDWORD, which some drivers read as "no time-out".
DWORD TimeLeftFor(long long deadline) {
    const long long remaining = comms_port::RemainingMilliseconds(deadline);
    constexpr long long kLargest = static_cast<long long>(MAXDWORD) - 1;
    return static_cast<DWORD>(remaining > kLargest ? kLargest : remaining);
}

// One total time-out for the next ReadFile: no interval limit and no per-byte part, so that the
// call returns when its count is complete or the time is up, whichever comes first. With no time
// left, it takes only what has already arrived.
bool LimitNextRead(HANDLE port, DWORD milliseconds) {
    COMMTIMEOUTS timeouts{};
    if (milliseconds == 0) {
        timeouts.ReadIntervalTimeout = MAXDWORD;
    } else {
        timeouts.ReadTotalTimeoutConstant = milliseconds;
    }
    return SetCommTimeouts(port, &timeouts) != FALSE;
}

bool LimitNextWrite(HANDLE port, DWORD milliseconds) {
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = milliseconds;
    return SetCommTimeouts(port, &timeouts) != FALSE;
}

DWORD PieceOf(unsigned long missing) {
    return static_cast<DWORD>(missing > kLargestPiece ? kLargestPiece : missing);
}

// Some drivers end a call whose time-out expired with an error instead of a short count.
bool TimedOut(DWORD error) {
    return error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT;
}

// A line error (a framing or parity fault) must not leave the port refusing further work.
void ClearLineErrors(HANDLE port) {
    DWORD errors = 0;
    ClearCommError(port, &errors, nullptr);
}

// The code of a ReadFile or WriteFile that failed, once the line is usable again.
int FailedTransfer(HANDLE port, int timeoutCode, int failureCode) {
    const DWORD error = GetLastError();
    ClearLineErrors(port);
    return TimedOut(error) ? timeoutCode : failureCode;
}

}  // namespace

namespace comms_port {

bool SettingsSupported(const comm_settings& settings, bool portIndexUsed) {
    return (!portIndexUsed || settings.port >= 0) && settings.baud > 0 && settings.dataBits >= 5 &&
           settings.dataBits <= 8 &&
           (settings.parity == kCommsParityNone || settings.parity == kCommsParityOdd ||
            settings.parity == kCommsParityEven) &&
           (settings.stopBits == kCommsStopBitsOne || settings.stopBits == kCommsStopBitsTwo);
}

std::intptr_t DuplicatePort(std::intptr_t handle) {
    HANDLE copy = INVALID_HANDLE_VALUE;
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, AsHandle(handle), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
        return kNoHandle;
    }
    return reinterpret_cast<std::intptr_t>(copy);
}

// Windows keeps a port to one user by itself: closing the handle is all there is to give up.
void ClosePort(std::intptr_t handle, bool /*ownsLine*/) {
    CloseHandle(AsHandle(handle));
}

bool Purge(std::intptr_t handle, Direction direction) {
    const DWORD flags = direction == Direction::kReceive ? PURGE_RXABORT | PURGE_RXCLEAR
                                                         : PURGE_TXABORT | PURGE_TXCLEAR;
    return PurgeComm(AsHandle(handle), flags) != FALSE;
}

// No character replacement, and an error on the line does not stop reads and writes until someone
// clears it.
void MakeRawLine(DCB* line, const comm_settings& settings) {
    line->BaudRate = static_cast<DWORD>(settings.baud);
    line->ByteSize = static_cast<BYTE>(settings.dataBits);
    line->Parity = ParityFor(settings.parity);
    line->StopBits = StopBitsFor(settings.stopBits);
    line->fBinary = TRUE;
    line->fParity = settings.parity != kCommsParityNone ? TRUE : FALSE;
    line->fOutxCtsFlow = FALSE;
    line->fOutxDsrFlow = FALSE;
    line->fDtrControl = DTR_CONTROL_ENABLE;
    line->fDsrSensitivity = FALSE;
    line->fTXContinueOnXoff = TRUE;
    line->fOutX = FALSE;
    line->fInX = FALSE;
    line->fErrorChar = FALSE;
    line->fNull = FALSE;
    line->fRtsControl = RTS_CONTROL_ENABLE;
    line->fAbortOnError = FALSE;
    line->XonChar = kXonCharacter;
    line->XoffChar = kXoffCharacter;
    line->XonLim = kXonLimit;
    line->XoffLim = kXoffLimit;
}

// ReadFile may return success with fewer bytes than asked when its time-out ends it: only the
// count it reports has arrived, so the caller goes on for the rest until the deadline.
int ReadSome(std::intptr_t handle, unsigned char* buffer, unsigned long count, long long deadline,
             unsigned long* got) {
    *got = 0;
    const HANDLE port = AsHandle(handle);
    const DWORD remaining = TimeLeftFor(deadline);
    if (!LimitNextRead(port, remaining)) {
        return kCommsErrRead;
    }
    DWORD received = 0;
    if (ReadFile(port, buffer, PieceOf(count), &received, nullptr) == FALSE) {
        return FailedTransfer(port, kCommsErrReadTimeout, kCommsErrRead);
    }
    *got = received;
    return received == 0 && remaining == 0 ? kCommsErrReadTimeout : kCommsOk;
}

int WriteSome(std::intptr_t handle, const unsigned char* data, unsigned long count,
              long long deadline, unsigned long* written) {
    *written = 0;
    const HANDLE port = AsHandle(handle);
    const DWORD remaining = TimeLeftFor(deadline);
    if (remaining == 0) {
        return kCommsErrWriteTimeout;
    }
    if (!LimitNextWrite(port, remaining)) {
        return kCommsErrWrite;
    }
    DWORD sent = 0;
    if (WriteFile(port, data, PieceOf(count), &sent, nullptr) == FALSE) {
        return FailedTransfer(port, kCommsErrWriteTimeout, kCommsErrWrite);
    }
    *written = sent;
    return kCommsOk;
}

}  // namespace comms_port

// COM1 to COM9 also open under their bare names, but only the device namespace reaches COM10
// and above, so every port goes through it.
std::string CComms::DevicePathFor(std::int32_t portIndex) const {
    constexpr const char* kDeviceNamespace = "\\\\.\\";
    if (!m_devicePath.empty()) {
        if (m_devicePath.rfind(kDeviceNamespace, 0) == 0) {
            return m_devicePath;
        }
        return kDeviceNamespace + m_devicePath;
    }
    return std::string(kDeviceNamespace) + "COM" + std::to_string(portIndex + 1LL);
}

int CComms::OpenDevice(const std::string& path) {
    // No sharing: a COM port has one user at a time, and Windows turns a second one away.
    HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? kCommsErrBusy
                                                                                : kCommsErrOpen;
    }
    m_handle = reinterpret_cast<std::intptr_t>(port);
    m_ownsLine = true;
    DCB line{};
    line.DCBlength = sizeof line;
    if (GetCommState(port, &line) == FALSE) {
        return kCommsErrSetup;  // opened, but not a serial port
    }
    return kCommsOk;
}

int CComms::ApplyLineSettings(const comm_settings& settings) {
    const HANDLE port = AsHandle(m_handle);
    DCB line{};
    line.DCBlength = sizeof line;
    if (GetCommState(port, &line) == FALSE) {
        return kCommsErrSetup;
    }
    comms_port::MakeRawLine(&line, settings);
    if (SetCommState(port, &line) == FALSE ||
        PurgeComm(port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR) == FALSE) {
        return kCommsErrSetup;
    }
    ClearLineErrors(port);
    return kCommsOk;
}

bool CComms::LineRunsSettings(const comm_settings& settings) const {
    DCB line{};
    line.DCBlength = sizeof line;
    if (GetCommState(AsHandle(m_handle), &line) == FALSE) {
        return false;
    }
    return LineMatches(line, settings);
}
