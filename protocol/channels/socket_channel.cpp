#include "socket_channel.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "platform.h"
#include "qel_codes.h"
#include "qel_sleep.h"

static_assert(std::is_same_v<platform::SocketHandle, std::uintptr_t>,
              "the channel keeps the platform's socket handle as it is");

namespace {

constexpr int kConnectLimitMilliseconds = 60 * 1000;
constexpr int kLargestReceive = 1024;
constexpr int kMostReceives = 20;
constexpr int kLargestSend = 256;
constexpr int kMostSends = 10;
constexpr unsigned long kSendRetryPauseMilliseconds = 100;

int StartConnect(platform::SocketHandle socket, std::uint32_t addressNetworkOrder,
                 std::uint16_t port) {
    if (platform::ConnectIPv4(socket, addressNetworkOrder, port) == 0) {
        return 0;
    }
    return platform::LastSocketError();
}

}  // namespace

SocketChannel::ConnectSteps SocketChannel::s_connectSteps = {
    &StartConnect, &platform::WaitForConnect, kConnectLimitMilliseconds};

SocketChannel::SocketChannel()
    : m_params{},
      m_socket(platform::kInvalidSocket),
      m_socketLibraryStarted(platform::StartSocketLibrary()),
      m_outputHeld(false),
      m_receiveTimeoutSet(kNoReceiveTimeout) {}

// All four copy the record and the handle as they are: a copy talks over the same socket. Each
// object holds a start of the socket library of its own.
SocketChannel::SocketChannel(const SocketChannel& other)
    : ICommChannel(other),
      m_params(other.m_params),
      m_socket(other.m_socket),
      m_socketLibraryStarted(platform::StartSocketLibrary()),
      m_outputHeld(other.m_outputHeld),
      m_receiveTimeoutSet(kNoReceiveTimeout) {}

SocketChannel::SocketChannel(SocketChannel&& other) : SocketChannel(other) {}

SocketChannel& SocketChannel::operator=(const SocketChannel& other) {
    m_params = other.m_params;
    m_socket = other.m_socket;
    m_outputHeld = other.m_outputHeld;
    m_receiveTimeoutSet = kNoReceiveTimeout;
    return *this;
}

SocketChannel& SocketChannel::operator=(SocketChannel&& other) {
    return *this = other;
}

// Copies share the socket, so only Close releases it: closing here could close a descriptor
// that a copy, or by now an unrelated file, still uses.
SocketChannel::~SocketChannel() {
    if (m_socketLibraryStarted) {
        platform::StopSocketLibrary();
    }
}

int SocketChannel::Open(void* params) {
    if (params == nullptr) {
        CloseSocket();
        return qel::kErrHostResolve;  // no record, so no host to reach
    }
    std::memcpy(&m_params, params, sizeof m_params);
    return OpenSocketAndConnect();
}

void SocketChannel::Close() {
    CloseSocket();
}

int SocketChannel::CloseSocket() {
    platform::CloseSocketHandle(m_socket);
    m_socket = platform::kInvalidSocket;
    m_outputHeld = false;
    m_receiveTimeoutSet = kNoReceiveTimeout;
    return 0;
}

void SocketChannel::ReleaseOutput() {
    if (m_outputHeld) {
        platform::PushSocketOutput(m_socket);
        m_outputHeld = false;
    }
}

int SocketChannel::OpenSocketAndConnect() {
    CloseSocket();  // a socket left from an earlier Open is not needed any more
    if (!m_socketLibraryStarted) {
        m_socketLibraryStarted = platform::StartSocketLibrary();
    }
    m_socket = platform::OpenTcpSocket();
    if (m_socket == platform::kInvalidSocket) {
        return qel::kErrSocketCreate;
    }
    // The record's text need not be terminated within its 24 bytes.
    char host[sizeof m_params.address + 1] = {};
    std::memcpy(host, m_params.address, sizeof m_params.address);
    std::uint32_t address = 0;
    if (!platform::ResolveIPv4(host, &address)) {
        CloseSocket();
        return qel::kErrHostResolve;
    }
    platform::SetSocketNonBlocking(m_socket, true);
    int result = ConnectWithinLimit(address);
    if (result != qel::kOk) {
        CloseSocket();
        return result;
    }
    platform::SetSocketNonBlocking(m_socket, false);
    // The engine writes a frame and its CR separately and then waits for the reply; Nagle's
    // algorithm would hold the CR back until the device acknowledges the frame.
    platform::SetSocketNoDelay(m_socket);
    return qel::kOk;
}

int SocketChannel::ConnectWithinLimit(std::uint32_t addressNetworkOrder) {
    const auto port = static_cast<std::uint16_t>(m_params.port & 0xFFFF);
    int error = s_connectSteps.start(m_socket, addressNetworkOrder, port);
    if (error != 0) {
        if (error != platform::kErrorWouldBlock) {
            return qel::kErrConnect;
        }
        int waited = s_connectSteps.wait(m_socket, s_connectSteps.limitMilliseconds);
        if (waited < 0) {
            return qel::kErrConnectWait;
        }
        if (waited == 0) {
            return qel::kErrConnectTimeout;
        }
    }
    return IsSocketConnected(m_socket) ? qel::kOk : qel::kErrConnectRefused;
}

bool SocketChannel::IsSocketConnected(platform::SocketHandle socket) {
    int error = 0;
    return platform::PendingSocketError(socket, &error) && error == 0;
}

int SocketChannel::Read(char* buffer, int length) {
    ReleaseOutput();
    // The time-out counts in whole seconds: below one second only what has arrived is taken.
    const int wait = m_params.timeout / 1000 * 1000;
    int received = 0;
    for (int attempt = 0; attempt < kMostReceives && received < length; ++attempt) {
        if (m_socket == platform::kInvalidSocket || wait < 0) {
            return qel::kErrReadTimeout;
        }
        if (wait != m_receiveTimeoutSet) {
            platform::SetReceiveTimeout(m_socket, wait);
            m_receiveTimeoutSet = wait;
        }
        // Never more than is missing, so that a later reply stays in the socket.
        int piece = std::min(length - received, kLargestReceive);
        int got = platform::ReceiveWithin(m_socket, buffer + received, piece, wait);
        if (got == platform::kReceiveTimedOut) {
            return qel::kErrReadTimeout;
        }
        if (got <= 0) {
            return qel::kErrReadClosed;
        }
        received += got;
    }
    return received == length ? qel::kOk : qel::kErrReadIncomplete;
}

int SocketChannel::Write(char* data, int length) {
    if (length < 0) {
        return qel::kErrWriteIncomplete;  // nothing to send could ever reach a negative count
    }
    int sent = 0;
    for (int attempt = 0; attempt < kMostSends; ++attempt) {
        int piece = std::min(length - sent, kLargestSend);
        // A request ends with its CR: the pieces before it wait for it, so that the request
        // leaves in one segment without a system call of its own to release it.
        bool more = piece == 0 || data[sent + piece - 1] != '\r';
        int result = platform::SendBytes(m_socket, data + sent, piece, more);
        if (result >= 0) {
            m_outputHeld = more;
        }
        if (result < 0) {
            if (platform::LastSocketError() != platform::kErrorInProgress) {
                return qel::kErrWrite;
            }
            qel::Sleep(kSendRetryPauseMilliseconds);
        } else {
            sent += result;
        }
        if (sent == length) {
            break;
        }
    }
    return sent == length ? qel::kOk : qel::kErrWriteIncomplete;
}
