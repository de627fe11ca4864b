// The upgrade state machine: clear the header page, write the data pages, write the header page
// last, verify, reset and, in the blind run mode, check that the device answers again.
#include "application_layout.h"
#include "platform.h"
#include "qel_print.h"
#include "qel_protocol.h"

namespace {

using qel::layout::kImageBase;
using qel::layout::kPageBytes;

enum UpgradeState {
    kIdle = 0,
    kClearHeaderPage = 1,
    kWriteDataPages = 2,
    kWriteHeaderPage = 3,
    kResetDevice = 4,
    kVerifyCrc16 = 5,
    kVerifyFull = 6,
    kCheckDevice = 7,
};

// Run modes; any other value runs every step, as kRunAll does.
constexpr int kRunWriteOnly = 2;
constexpr int kRunVerifyOnly = 3;
constexpr int kRunResetOnly = 4;
constexpr int kRunBlind = 5;
// Verify methods; any other value verifies by CRC16 only.
constexpr int kVerifyMethodFull = 2;

// The device may take a while to come back after its reset.
constexpr unsigned long kFirstCheckDelayMs = 10000;
constexpr unsigned long kCheckRetryDelayMs = 60000;
constexpr int kCheckReads = 10;

}  // namespace

void QelProtocol::ResetUpgrade() {
    m_upgradeState = kIdle;
    m_pageAddress = kImageBase;
}

int QelProtocol::GetNextState(int state) {
    switch (state) {
        case kClearHeaderPage:
            return kWriteDataPages;
        case kWriteDataPages:
            return kWriteHeaderPage;
        case kWriteHeaderPage:
            return m_runMode == kRunWriteOnly ? kIdle : kVerifyCrc16;
        case kResetDevice:
            return m_runMode == kRunBlind ? kCheckDevice : kIdle;
        case kVerifyCrc16:
            if (m_verifyMethod == kVerifyMethodFull) {
                return kVerifyFull;
            }
            return m_runMode == kRunVerifyOnly ? kIdle : kResetDevice;
        case kVerifyFull:
            return m_runMode == kRunVerifyOnly ? kIdle : kResetDevice;
        default:
            return kIdle;
    }
}

bool QelProtocol::GoesOnAfter(int ec) const {
    return ec == qel::kOk || m_runMode == kRunBlind;
}

int QelProtocol::Execute() {
    // Only the reset needs no application image; every other run mode reads it.
    if (m_dataBuffer == nullptr && m_runMode != kRunResetOnly) {
        return qel::kErrNoImage;
    }
    if (m_upgradeState == kIdle) {
        m_upgradeState = kClearHeaderPage;
    }
    if (m_runMode == kRunResetOnly) {
        m_upgradeState = kResetDevice;
    } else if (m_runMode == kRunVerifyOnly) {
        m_upgradeState = kVerifyCrc16;
    }

    int ec = qel::kOk;
    int attempt = 0;
    // The blind mode passes over failed steps, but a device that answers after an attempt with a
    // failed step holds a wrong or incomplete image: that attempt is not a success.
    int firstFailure = qel::kOk;
    while (m_upgradeState != kIdle) {
        // Once the socket cannot send, no later step can reach the device.
        if (ec == qel::kErrWrite) {
            qel::Print("\nCannot write data to socket. Socket is not valid.");
            return ec;
        }
        const int state = m_upgradeState;
        if (state == kClearHeaderPage) {
            firstFailure = qel::kOk;
        }
        ec = RunUpgradeStep(ec, &attempt);
        if (!GoesOnAfter(ec)) {
            return ec;
        }
        if (state == kCheckDevice) {
            if (m_upgradeState == kIdle && firstFailure != qel::kOk) {
                return firstFailure;
            }
        } else if (firstFailure == qel::kOk) {
            firstFailure = ec;
        }
    }
    return ec;
}

int QelProtocol::RunUpgradeStep(int ec, int* attempt) {
    const std::uint32_t imageEnd = kImageBase + static_cast<std::uint32_t>(m_dataSize);
    const int state = m_upgradeState;
    switch (state) {
        case kClearHeaderPage:
            qel::Print("\nStart Firmware Upgrade. Attempt #%d", ++*attempt);
            ec = ClearPage(static_cast<int>(kImageBase));
            qel::Print("\nClear Header Page. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_pageAddress = kImageBase + kPageBytes;
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kWriteDataPages:
            // An image of one page has no data pages: nothing to send, on to the header page.
            if (m_pageAddress >= imageEnd) {
                m_upgradeState = GetNextState(state);
                return ec;
            }
            ec = WritePage(static_cast<int>(m_pageAddress));
            qel::Print("\nWrite Page. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_pageAddress += kPageBytes;
                if (m_pageAddress >= imageEnd) {
                    m_upgradeState = GetNextState(state);
                }
            }
            return ec;
        case kWriteHeaderPage:
            ec = WritePage(static_cast<int>(kImageBase));
            qel::Print("\nWrite Header Page. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                qel::Print("\nVerify Method: %s",
                           m_verifyMethod == kVerifyMethodFull ? "FULL" : "CRC16");
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kResetDevice:
            ec = ResetDevice();
            qel::Print("\nReset Remote Device. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kVerifyCrc16:
            ec = VerifyDownloadedDataWithCrc16Method();
            qel::Print("\nVerify Downloaded Data (CRC16). ec = %d", ec);
            if (GoesOnAfter(ec)) {
                if (m_verifyMethod == kVerifyMethodFull) {
                    m_pageAddress = kImageBase;
                }
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kVerifyFull:
            ec = VerifyDownloadedDataWithFullMethod();
            qel::Print("\nVerify Downloaded Data (FULL). ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kCheckDevice:
            m_upgradeState = CheckDeviceAlive(&ec);
            return ec;
        default:
            m_upgradeState = GetNextState(state);
            return ec;
    }
}

// Reads the device's clock until it answers, at most kCheckReads times a minute apart. Returns
// the next state: done when the device answered, else a new attempt from the start.
int QelProtocol::CheckDeviceAlive(int* ec) {
    platform::Sleep(kFirstCheckDelayMs);
    qel::Print("\nCheck Remote Device State ...");
    for (int reads = 1;; ++reads) {
        qel::Print("\nReading Device System Time ...");
        _qel_system_time scratch{};
        *ec = ReadSystemTime(&scratch);
        if (*ec == qel::kOk) {
            return GetNextState(kCheckDevice);
        }
        qel::Print("\nReading Device System Time Failed.");
        if (reads == kCheckReads) {
            break;
        }
        qel::Print("\nWait 1 minute and try again.");
        platform::Sleep(kCheckRetryDelayMs);
    }
    qel::Print("\nIt is hopeless :(");
    qel::Print("\nTry to upgrade firmware again.");
    return kClearHeaderPage;
}
