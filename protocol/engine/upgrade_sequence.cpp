// The upgrade state machine: clear the header page, write the data pages, write the header page
// last, verify, reset and, in the blind run mode, check that the device answers again.
#include "application_layout.h"
#include "cancellable_sleep.h"
#include "connection_faults.h"
#include "engine_events.h"
#include "event_emitter.h"
#include "qel_protocol.h"

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

qel::EventFields DeviceCheckLine(int kind, int code = qel::kOk) {
    return {.kind = kind, .phase = QEL_PHASE_DEVICE_CHECK, .code = code};
}

}  // namespace

void QelProtocol::ResetUpgrade() {
    m_upgradeState = kStateIdle;
    m_pageAddress = kImageBase;
    m_pagesWritten = 0;
    m_pagesToWrite.clear();
    m_pagesSkipped = 0;
}

void QelProtocol::ReportProgress(int phase, int done, int total) {
    m_phase = phase;
    qel_event progress = qel::MakeEvent(QEL_EVENT_PROGRESS);
    progress.phase = phase;
    progress.pages_done = done;
    progress.pages_total = total;
    Events().Deliver(progress);
}

void QelProtocol::EnterPhase(int phase, int done, int total) {
    if (m_phase != phase) {
        ReportProgress(phase, done, total);
    }
}

// The header page comes first in the image and is written last; the data pages are the rest.
int QelProtocol::DataPages() const {
    return m_dataSize / kPageBytes - 1;
}

int QelProtocol::DataPagesDone() const {
    return static_cast<int>((m_pageAddress - kImageBase) / kPageBytes) - 1;
}

bool QelProtocol::Cancelled() const {
    return m_cancel != nullptr && m_cancel->load();
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

    m_measuresOriginMs = qel::SteadyMilliseconds();
    m_lineBytes = 0;
    m_phase = QEL_PHASE_NONE;

    int ec = qel::kOk;
    int attempt = 0;
    // The blind mode passes over failed steps, but a device that answers after an attempt with a
    // failed step holds a wrong or incomplete image: that attempt is not a success.
    int firstFailure = qel::kOk;
    while (m_upgradeState != kStateIdle) {
        // Once the socket cannot send, no later step can reach the device.
        if (ec == qel::kErrWrite) {
            Events().Emit({.kind = QEL_EVENT_ERROR, .phase = m_phase, .code = ec},
                          "\nCannot write data to socket. Socket is not valid.");
            return ec;
        }
        if (Cancelled()) {
            return qel::kErrCancelled;
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
            ++*attempt;
            Events().Emit(
                {.kind = QEL_EVENT_ATTEMPT, .phase = QEL_PHASE_CLEAR, .attempt = *attempt},
                "\nStart Firmware Upgrade. Attempt #%d", *attempt);
            if (m_runMode == kRunModeBlind && m_imageVerified && ImageStillInDevice()) {
                m_upgradeState = kStateResetDevice;
                return qel::kOk;
            }
            m_imageVerified = false;
            if (m_skipEqualPages) {
                ec = ComparePages();
                // The blind mode writes every page when the compare fails.
                if (!GoesOnAfter(ec)) {
                    return ec;
                }
                ec = qel::kOk;
                if (!AnythingToWrite()) {
                    m_upgradeState = kStateWriteHeaderPage;
                    return ec;
                }
            }
            EnterPhase(QEL_PHASE_CLEAR, 0, 1);
            ec = ClearPage(static_cast<int>(kImageBase));
            Events().Emit(qel::StepOf(m_phase, ec, qel::kCmdWriteMemory, kImageBase),
                          "\nClear Header Page. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                ReportProgress(QEL_PHASE_CLEAR, 1, 1);
                m_pageAddress = kImageBase + kPageBytes;
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateWriteDataPages:
            // An image of one page has no data pages, and the device may hold every data page
            // already: nothing to send, on to the header page.
            m_pageAddress = NextPageToWrite(m_pageAddress, imageEnd);
            if (m_pageAddress >= imageEnd) {
                m_upgradeState = GetNextState(state);
                return ec;
            }
            EnterPhase(QEL_PHASE_WRITE, DataPagesDone(), DataPages());
            if (UsesPageWindow()) {
                ec = WritePagesInFlight(imageEnd);
                if (ec == qel::kOk && m_pageAddress >= imageEnd) {
                    m_upgradeState = GetNextState(state);
                }
                return ec;
            }
            ec = WritePage(static_cast<int>(m_pageAddress));
            Events().Emit(qel::StepOf(m_phase, ec, qel::kCmdWriteMemory, m_pageAddress),
                          "\nWrite Page. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_pagesWritten += ec == qel::kOk ? 1 : 0;
                m_pageAddress = NextPageToWrite(m_pageAddress + kPageBytes, imageEnd);
                ReportProgress(QEL_PHASE_WRITE, DataPagesDone(), DataPages());
                if (m_pageAddress >= imageEnd) {
                    m_upgradeState = GetNextState(state);
                }
            }
            return ec;
        case kStateWriteHeaderPage:
            // Nothing is written when the device holds every page already.
            if (AnythingToWrite()) {
                EnterPhase(QEL_PHASE_HEADER, 0, 1);
                ec = WritePage(static_cast<int>(kImageBase));
                Events().Emit(qel::StepOf(m_phase, ec, qel::kCmdWriteMemory, kImageBase),
                              "\nWrite Header Page. ec = %d", ec);
                if (!GoesOnAfter(ec)) {
                    return ec;
                }
                m_pagesWritten += ec == qel::kOk ? 1 : 0;
                ReportProgress(QEL_PHASE_HEADER, 1, 1);
            }
            Events().Emit({.phase = m_phase}, "\nVerify Method: %s",
                          m_verifyMethod == kVerifyMethodFull ? "FULL" : "CRC16");
            m_upgradeState = GetNextState(state);
            return ec;
        case kStateResetDevice:
            EnterPhase(QEL_PHASE_RESET, 0, 1);
            ec = ResetDevice();
            Events().Emit(qel::StepOf(m_phase, ec, qel::kCmdReset, 0),
                          "\nReset Remote Device. ec = %d", ec);
            if (GoesOnAfter(ec)) {
                ReportProgress(QEL_PHASE_RESET, 1, 1);
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateVerifyByCrc16:
            EnterPhase(QEL_PHASE_VERIFY_CRC, 0, 1);
            ec = VerifyDownloadedDataWithCrc16Method();
            Events().Emit(qel::StepOf(m_phase, ec, qel::kCmdReadMemoryCrc16, kImageBase),
                          "\nVerify Downloaded Data (CRC16). ec = %d", ec);
            if (GoesOnAfter(ec)) {
                ReportProgress(QEL_PHASE_VERIFY_CRC, 1, 1);
                m_imageVerified = ec == qel::kOk && m_verifyMethod != kVerifyMethodFull;
                if (m_verifyMethod == kVerifyMethodFull) {
                    m_pageAddress = kImageBase;
                }
                m_upgradeState = GetNextState(state);
            }
            return ec;
        case kStateVerifyByReadBack:
            ec = VerifyDownloadedDataWithFullMethod();
            // The range read back, or the page that failed.
            Events().Emit(qel::StepOf(m_phase, ec, qel::kCmdReadMemory,
                                      ec == qel::kOk ? kImageBase : m_pageAddress),
                          "\nVerify Downloaded Data (FULL). ec = %d", ec);
            if (GoesOnAfter(ec)) {
                m_imageVerified = ec == qel::kOk;
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

// Reads the device's clock until it answers, at most kCheckReads times a minute apart. With the
// caller's open record a device that drops its connection when it reboots is reconnected to: at
// once when the failure shows that the connection is gone, after the minute when it only stayed
// silent. Returns the next state: done when the device answered, else a new attempt.
int QelProtocol::CheckDeviceAlive(int* ec) {
    EnterPhase(QEL_PHASE_DEVICE_CHECK, 0, 1);
    qel::SleepUnlessCancelled(kFirstCheckDelayMs, m_cancel);
    Events().Emit(DeviceCheckLine(QEL_EVENT_INFO), "\nCheck Remote Device State ...");
    bool reconnect = false;
    // Kept from one read to the next: whether the last reconnect came without the minute's wait.
    // cppcheck-suppress variableScope
    bool reconnectedAtOnce = false;
    for (int reads = 1;; ++reads) {
        if (reconnect) {
            Reconnect();
        }
        Events().Emit(DeviceCheckLine(QEL_EVENT_INFO), "\nReading Device System Time ...");
        _qel_system_time scratch{};
        *ec = ReadSystemTime(&scratch);
        if (*ec == qel::kOk) {
            ReportProgress(QEL_PHASE_DEVICE_CHECK, 1, 1);
            return GetNextState(kStateCheckDevice);
        }
        Events().Emit(DeviceCheckLine(QEL_EVENT_WARNING, *ec),
                      "\nReading Device System Time Failed.");
        if (reads == kCheckReads) {
            break;
        }
        if (Cancelled()) {
            return kStateCheckDevice;  // Execute stops before the next step
        }
        const bool gone = m_openRecord != nullptr && qel::ShowsConnectionGone(*ec);
        reconnect = gone || (m_openRecord != nullptr && qel::ShowsSilence(*ec));
        // One read right after a lost connection; when that fails too, the minute is waited.
        reconnectedAtOnce = gone && !reconnectedAtOnce;
        if (!reconnectedAtOnce) {
            Events().Emit(DeviceCheckLine(QEL_EVENT_INFO), "\nWait 1 minute and try again.");
            qel::SleepUnlessCancelled(kCheckRetryDelayMs, m_cancel);
        }
    }
    Events().Emit(DeviceCheckLine(QEL_EVENT_WARNING, *ec), "\nIt is hopeless :(");
    Events().Emit(DeviceCheckLine(QEL_EVENT_INFO), "\nTry to upgrade firmware again.");
    return kStateClearHeaderPage;
}

bool QelProtocol::ImageStillInDevice() {
    Events().Emit({.phase = QEL_PHASE_VERIFY_CRC},
                  "\nThe image was written and verified before: checking it in the device.");
    EnterPhase(QEL_PHASE_VERIFY_CRC, 0, 1);
    const int ec = VerifyDownloadedDataWithCrc16Method();
    Events().Emit(qel::StepOf(m_phase, ec, qel::kCmdReadMemoryCrc16, kImageBase),
                  "\nVerify Downloaded Data (CRC16). ec = %d", ec);
    if (ec == qel::kOk) {
        ReportProgress(QEL_PHASE_VERIFY_CRC, 1, 1);
    }
    return ec == qel::kOk;
}
