// comms: a small serial-port library. One port object, class CComms, opens a port with raw line
// settings, reads and writes exact byte counts against a time-out and empties the port's buffers.
// It stands on its own: it knows nothing of the programs that use it.
//
// Results: 0 is success; every failure is one of the codes below.
//
//   code  name                        meaning
//   3001  kCommsErrBadSettings        settings missing, or a baud rate, data-bit count, parity
//                                     code, stop-bit code or port index the port cannot take
//   3002  kCommsErrOpen               the device cannot be opened (no such device, no permission)
//   3003  kCommsErrBusy               another user holds the port
//   3004  kCommsErrSetup              not a serial device, or its line settings cannot be applied
//   3005  kCommsErrNotOpen            Read, Write or a purge on a port that is not open
//   3006  kCommsErrBadBuffer          no buffer for a non-zero count, or a count no buffer can have
//   3007  kCommsErrReadTimeout        fewer bytes than asked arrived within the time-out
//   3008  kCommsErrRead               reading failed, or the line hung up
//   3009  kCommsErrWriteTimeout       the port did not take every byte before the write deadline
//   3010  kCommsErrWrite              writing failed, or the line hung up
//   3011  kCommsErrPurge              emptying a buffer failed
#pragma once

#include <cstdint>
#include <string>

inline constexpr int kCommsOk = 0;
inline constexpr int kCommsErrBadSettings = 3001;
inline constexpr int kCommsErrOpen = 3002;
inline constexpr int kCommsErrBusy = 3003;
inline constexpr int kCommsErrSetup = 3004;
inline constexpr int kCommsErrNotOpen = 3005;
inline constexpr int kCommsErrBadBuffer = 3006;
inline constexpr int kCommsErrReadTimeout = 3007;
inline constexpr int kCommsErrRead = 3008;
inline constexpr int kCommsErrWriteTimeout = 3009;
inline constexpr int kCommsErrWrite = 3010;
inline constexpr int kCommsErrPurge = 3011;

// Parity codes.
inline constexpr std::int32_t kCommsParityNone = 0;
inline constexpr std::int32_t kCommsParityOdd = 1;
inline constexpr std::int32_t kCommsParityEven = 2;
// Stop-bit codes (1 would be one and a half, which no POSIX port offers).
inline constexpr std::int32_t kCommsStopBitsOne = 0;
inline constexpr std::int32_t kCommsStopBitsTwo = 2;

// Line settings of a port. The first five fields are fixed in this order; users fill them and
// may leave the rest zero.
struct comm_settings {
    std::int32_t port;      // zero-based port index: 0 is COM1 on Windows, /dev/ttyS0 on POSIX
    std::int32_t baud;      // bits per second, e.g. 115200
    std::int32_t dataBits;  // 5 to 8
    std::int32_t parity;    // kCommsParity...
    std::int32_t stopBits;  // kCommsStopBits...
    std::int32_t reserved[3];
};

// One serial port. Idle when constructed; SetCommPort opens it. A copy opens nothing of its own
// accord: copying an open port gives the copy its own duplicate of the port's descriptor, so each
// object closes only what it holds and a copy never closes the port under the other's feet.
class CComms {
  public:
    CComms();
    virtual ~CComms();
    CComms(const CComms& other);
    CComms& operator=(const CComms& other);

    // Names the device to open directly (e.g. /dev/ttyUSB0, or COM10 on Windows) instead of the
    // one the settings' port index names. Null or empty goes back to the index.
    void SetDevicePath(const char* path);

    // Opens the port (closing any port this object held) with the given line settings and empties
    // both directions, so that nothing from before stands in front of what comes next.
    int SetCommPort(const comm_settings* settings);

    // Time-out of every Read, in milliseconds; Write allows this plus the wire time of its bytes.
    void SetTimeOut(unsigned long milliseconds);

    // Non-zero when the port is open and its line runs the settings asked for (a driver may
    // accept settings without applying all of them).
    int IsInitialized() const;

    // Writes every byte, or fails once the write deadline has passed.
    virtual int Write(const unsigned char* data, unsigned long count);

    // Reads exactly count bytes within one time-out for the whole call. Bytes beyond count stay
    // in the port for the next call.
    virtual int Read(unsigned char* buffer, unsigned long count);

    // Closes the port; does nothing when none is open. Always 0. Only the object that opened the
    // port gives up its exclusive use: a copy, or an object whose open was refused, leaves it to
    // the user that holds it.
    int Deinstall();

    // Drop what has been received and not read, and what was written and not yet sent.
    virtual int PurgeRcvBuffer();
    virtual int PurgeTransmitBuffer();

  private:
    friend class CCommsTestAccess;

    std::string DevicePathFor(std::int32_t portIndex) const;
    int OpenDevice(const std::string& path);
    int ApplyLineSettings(const comm_settings& settings);
    bool LineRunsSettings(const comm_settings& settings) const;

    std::intptr_t m_handle;  // the open descriptor or handle; -1 when none
    bool m_ownsLine;         // this object opened the port and holds it exclusively
    comm_settings m_settings;
    unsigned long m_timeoutMilliseconds;
    bool m_ready;
    bool m_simulateNotReady;  // lets tests see a port that opens cleanly but does not come up
    std::string m_devicePath;
};
