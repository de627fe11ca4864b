// POSIX back end of CComms: termios, raw 8N1-style lines without flow control, poll for waits.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "comms.h"
#include "comms_port.h"

namespace {

using comms_port::kNoHandle;

struct BaudRate {
    std::int32_t bitsPerSecond;
    speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},         {75, B75},     {110, B110},   {134, B134},     {150, B150},
    {200, B200},       {300, B300},   {600, B600},   {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800}, {9600, B9600}, {19200, B19200}, {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool SpeedFor(std::int32_t bitsPerSecond, speed_t* speed) {
    for (const BaudRate& rate : kBaudRates) {
        if (rate.bitsPerSecond == bitsPerSecond) {
            *speed = rate.speed;
            return true;
        }
    }
    return false;
}

tcflag_t CharacterSizeFor(std::int32_t dataBits) {
    switch (dataBits) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

tcflag_t LineFlagsFor(const comm_settings& settings) {
    tcflag_t flags = CharacterSizeFor(settings.dataBits) | CLOCAL | CREAD;
    if (settings.parity != kCommsParityNone) {
        flags |= PARENB;
    }
    if (settings.parity == kCommsParityOdd) {
        flags |= PARODD;
    }
    if (settings.stopBits == kCommsStopBitsTwo) {
        flags |= CSTOPB;
    }
    return flags;
}

constexpr tcflag_t kLineFlagsMask = CSIZE | PARENB | PARODD | CSTOPB | CLOCAL | CREAD;

void MakeRaw(termios* attributes, const comm_settings& settings) {
    attributes->c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR |
                                                  IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    attributes->c_oflag &= ~static_cast<tcflag_t>(OPOST);
    attributes->c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    attributes->c_cflag &= ~kLineFlagsMask;
#ifdef CRTSCTS
    attributes->c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    attributes->c_cflag |= LineFlagsFor(settings);
    // Reads never block in the driver: every wait is a poll against the caller's deadline.
    attributes->c_cc[VMIN] = 0;
    attributes->c_cc[VTIME] = 0;
}

// Waits until the events are signalled or the deadline passes: kCommsOk, timeoutCode, or
// failureCode when the wait fails or the line hangs up.
int AwaitUntil(int fd, short events, long long deadline, int timeoutCode, int failureCode) {
    pollfd entry{fd, events, 0};
    int waited;
    do {
        const long long remaining = comms_port::RemainingMilliseconds(deadline);
        waited = poll(&entry, 1, remaining > INT_MAX ? INT_MAX : static_cast<int>(remaining));
    } while (waited < 0 && errno == EINTR);
    if (waited == 0) {
        return timeoutCode;
    }
    return waited > 0 && (entry.revents & events) != 0 ? kCommsOk : failureCode;
}

int Descriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

namespace comms_port {

bool SettingsSupported(const comm_settings& settings, bool portIndexUsed) {
    speed_t speed;
    return (!portIndexUsed || settings.port >= 0) && SpeedFor(settings.baud, &speed) &&
           settings.dataBits >= 5 && settings.dataBits <= 8 &&
           (settings.parity == kCommsParityNone || settings.parity == kCommsParityOdd ||
            settings.parity == kCommsParityEven) &&
           (settings.stopBits == kCommsStopBitsOne || settings.stopBits == kCommsStopBitsTwo);
}

std::intptr_t DuplicatePort(std::intptr_t handle) {
    const int copy = fcntl(Descriptor(handle), F_DUPFD_CLOEXEC, 0);
    return copy >= 0 ? copy : kNoHandle;
}

void ClosePort(std::intptr_t handle, bool ownsLine) {
    // Exclusive mode belongs to the line, not to the descriptor: while anyone else still holds
    // the line (a simulator keeping its end of a pseudo-terminal alive), it would outlive the
    // close and turn away the next open. Only its owner clears it, so that neither a refused
    // opener nor a copy takes it from the user that holds the port.
    if (ownsLine) {
        ioctl(Descriptor(handle), TIOCNXCL);
    }
    close(Descriptor(handle));  // releases the lock with the last descriptor of the open port
}

bool Purge(std::intptr_t handle, Direction direction) {
    return tcflush(Descriptor(handle), direction == Direction::kReceive ? TCIFLUSH : TCOFLUSH) == 0;
}

int ReadSome(std::intptr_t handle, unsigned char* buffer, unsigned long count, long long deadline,
             unsigned long* got) {
    *got = 0;
    const int fd = Descriptor(handle);
    const int waited = AwaitUntil(fd, POLLIN, deadline, kCommsErrReadTimeout, kCommsErrRead);
    if (waited != kCommsOk) {
        return waited;
    }
    const ssize_t received = read(fd, buffer, count);
    if (received < 0 && (errno == EAGAIN || errno == EINTR)) {
        return kCommsOk;
    }
    if (received <= 0) {
        return kCommsErrRead;  // with poll reporting data, 0 means the line hung up
    }
    *got = static_cast<unsigned long>(received);
    return kCommsOk;
}

int WriteSome(std::intptr_t handle, const unsigned char* data, unsigned long count,
              long long deadline, unsigned long* written) {
    *written = 0;
    const int fd = Descriptor(handle);
    const ssize_t sent = write(fd, data, count);
    if (sent > 0) {
        *written = static_cast<unsigned long>(sent);
        return kCommsOk;
    }
    if (sent < 0 && errno == EINTR) {
        return kCommsOk;
    }
    if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
        return kCommsErrWrite;
    }
    return AwaitUntil(fd, POLLOUT, deadline, kCommsErrWriteTimeout, kCommsErrWrite);
}

}  // namespace comms_port

std::string CComms::DevicePathFor(std::int32_t portIndex) const {
    if (!m_devicePath.empty()) {
        return m_devicePath;
    }
    return "/dev/ttyS" + std::to_string(portIndex);
}

int CComms::OpenDevice(const std::string& path) {
    // Non-blocking: opening must not wait for a carrier, and writes are bounded by poll.
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == EBUSY ? kCommsErrBusy : kCommsErrOpen;
    }
    m_handle = fd;
    if (!isatty(fd)) {
        return kCommsErrSetup;
    }
    // The lock tells two users of this library apart even when one of them runs as root, whom
    // exclusive mode does not stop. Only the lock's holder sets exclusive mode (keeping other
    // openers out), and only it clears it again.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? kCommsErrBusy : kCommsErrSetup;
    }
    m_ownsLine = ioctl(fd, TIOCEXCL) == 0;
    return kCommsOk;
}

int CComms::ApplyLineSettings(const comm_settings& settings) {
    int fd = Descriptor(m_handle);
    termios attributes{};
    speed_t speed = B0;
    SpeedFor(settings.baud, &speed);
    if (tcgetattr(fd, &attributes) != 0) {
        return kCommsErrSetup;
    }
    MakeRaw(&attributes, settings);
    if (cfsetispeed(&attributes, speed) != 0 || cfsetospeed(&attributes, speed) != 0 ||
        tcsetattr(fd, TCSANOW, &attributes) != 0 || tcflush(fd, TCIOFLUSH) != 0) {
        return kCommsErrSetup;
    }
    return kCommsOk;
}

bool CComms::LineRunsSettings(const comm_settings& settings) const {
    termios attributes{};
    speed_t speed = B0;
    SpeedFor(settings.baud, &speed);
    if (tcgetattr(Descriptor(m_handle), &attributes) != 0) {
        return false;
    }
    return (attributes.c_cflag & kLineFlagsMask) == LineFlagsFor(settings) &&
           cfgetospeed(&attributes) == speed;
}
