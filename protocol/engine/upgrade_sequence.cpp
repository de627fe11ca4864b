// The upgrade state machine: clear the header page, write the data pages, write the header page
// last, verify, reset and, in the blind run mode, check that the device answers again.
#include "application_layout.h"
#include "qel_print.h"
#include "qel_protocol.h"
#include "qel_sleep.h"

namespace {

using qel::kRunModeBlind;
using qel::kRunModeResetOnly;
using qel::kRunModeVerifyOnly;
using qel::kRunModeWriteOnly;
using qel::kVerifyMethodFull;
using qel::layout::kImageBase;
using qel::layout::kPageBytes;

// The values of m_upgradeState: the step that runs next.
enum UpgradeState {
    kStateIdle = 0,
    kStateClearHeaderPage = 1,
    kStateWriteDataPages = 2,
    kStateWriteHeaderPage = 3,
    kStateResetDevice = 4,
    kStateVerifyByCrc16 = 5,
    kStateVerifyByReadBack = 6,
    kStateCheckDevice = 7,
};

// The device may take a while to come back after its reset.
constexpr unsigned long kFirstCheckDelayMs = 10000;
constexpr unsigned long kCheckRetryDelayMs = 60000;
constexpr int kCheckReads = 10;

}  // namespace

void QelProtocol::ResetUpgrade() {
    m_upgradeState = kStateIdle;
    m_pageAddress = kImageBase;
}

int QelProtocol::GetNextState(int state) {
    switch (state) {
        case kStateClearHeaderPage:
            return kStateWriteDataPages;
        case kStateWriteDataPages:
            return kStateWriteHeaderPage;
        case kStateWriteHeaderPage:
            return m_runMode == kRunModeWriteOnly ? kStateIdle : kStateVerifyByCrc16;
        case kStateResetDevice:
            return m_runMode == kRunModeBlind ? kStateCheckDevice : kStateIdle;
        case kStateVerifyByCrc16:
            if (m_verifyMethod == kVerifyMethodFull) {
                return kStateVerifyByReadBack;
            }
            return m_runMode == kRunModeVerifyOnly ? kStateIdle : kStateResetDevice;
        case kStateVerifyByReadBack:
            return m_runMode == kRunModeVerifyOnly ? kStateIdle : kStateResetDevice;
        default:
            return kStateIdle;
    }
}

bool QelProtocol::GoesOnAfter(int ec) const {
    return ec == qel::kOk || m_runMode == kRunModeBlind;
}

int QelProtocol::Execute() {
    // Only the reset needs no application image; every other run mode reads it.
    if (m_dataBuffer == nullptr && m_runMode != kRunModeResetOnly) {
        return qel::kErrNoImage;
    }
    if (m_upgradeState == kStateIdle) {
        m_upgradeState = kStateClearHeaderPage;
    }
    if (m_runMode == kRunModeResetOnly) {
        m_upgradeState = kStateResetDevice;
    } else if (m_runMode == kRunModeVerifyOnly) {
        m_upgradeState = kStateVerifyByCrc16;
    }

    int ec = qel::kOk;
    int attempt = 0;
    // The blind mode passes over failed steps, but a device that answers after an attempt with a
    // failed step holds a wrong or incomplete image: that attempt is not a success.
    int firstFailure = qel::kOk;
    while (m_upgradeState != kStateIdle) {
        // Once the socket cannot send, no later step can reach the device.
        if (ec == qel::kErrWrite) {
            qel::Print("\nCannot write data to socket. Socket is not valid.");
            return ec;
        }
        const int state = m_upgradeState;
        if (state == kStateClearHeaderPage) {
            firstFailure = qel::kOk;
        }
        ec = RunUpgradeStep(ec, &attempt);
        if (!GoesOnAfter(ec)) {
            return ec;
        }
        if (state == kStateCheckDevice) {
            if (m_upgradeState == kStateIdle && firstFailure != qel::kOk) {
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
        case kStateClearHeaderPage:
            qel::Print("\nStart Firmware Upgrade. Attempt #%d", ++*attempt);
            ec = ClearPage(static_cast<int>(kImageBase));
            qel::Print("\nClear Header Page. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_pageAddress = kImageBase + kPageBytes;
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateWriteDataPages:
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
        case kStateWriteHeaderPage:
            ec = WritePage(static_cast<int>(kImageBase));
            qel::Print("\nWrite Header Page. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                qel::Print("\nVerify Method: %s",
                           m_verifyMethod == kVerifyMethodFull ? "FULL" : "CRC16");
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateResetDevice:
            ec = ResetDevice();
            qel::Print("\nReset Remote Device. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateVerifyByCrc16:
            ec = VerifyDownloadedDataWithCrc16Method();
            qel::Print("\nVerify Downloaded Data (CRC16). ec = %d", ec);
            if (GoesOnAfter(ec)) {
                if (m_verifyMethod == kVerifyMethodFull) {
                    m_pageAddress = kImageBase;
                }
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateVerifyByReadBack:
            ec = VerifyDownloadedDataWithFullMethod();
            qel::Print("\nVerify Downloaded Data (FULL). ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateCheckDevice:
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
    qel::Sleep(kFirstCheckDelayMs);
    qel::Print("\nCheck Remote Device State ...");
    for (int reads = 1;; ++reads) {
        qel::Print("\nReading Device System Time ...");
        _qel_system_time scratch{};
        *ec = ReadSystemTime(&scratch);
        if (*ec == qel::kOk) {
            return GetNextState(kStateCheckDevice);
        }
        qel::Print("\nReading Device System Time Failed.");
        if (reads == kCheckReads) {
            break;
        }
        qel::Print("\nWait 1 minute and try again.");
        qel::Sleep(kCheckRetryDelayMs);
    }
    qel::Print("\nIt is hopeless :(");
    qel::Print("\nTry to upgrade firmware again.");
    return kStateClearHeaderPage;
}
