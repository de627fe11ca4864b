// A firmware file downloaded into a device as Orvane does it: the file loaded and its application
// image prepared once, then attempts over the caller's channel (open, upgrade, close on failure,
// pause, again) until one succeeds, the device is found to hold a wrong image, or the attempts run
// out. Every line goes to the caller's sink as an event, the last one a RESULT; the result says
// how the download ended, with the exit status and result code that Orvane gives for it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm_channel.h"
#include "event_sink.h"
#include "qel_codes.h"
#include "qel_export.h"
#include "qel_protocol_settings.h"

namespace qel {

// The lowest device address that a downloaded file's data may start at; below it lies the loader.
inline constexpr std::uint32_t kLowestDownloadAddress = 0x3000;
inline constexpr int kDefaultMaxAttempts = 100;
inline constexpr unsigned long kDefaultPauseMs = 5000;

struct DownloadSettings {
    int verifyMethod = kVerifyMethodCrc16;  // qel_protocol_settings.h
    int runMode = kRunModeAll;
    // 0: 100 attempts (practically without end in the blind run mode), and the pause follows
    // every failed attempt, the last one too. N > 0: at most N attempts, none after the last.
    int maxAttempts = 0;
    unsigned long pauseMs = kDefaultPauseMs;  // after a failed attempt, through qel::Sleep
    // A request whose reply the line lost or garbled is sent again up to this many times (0 to
    // 10) before the attempt fails; 0 keeps every request and line as they always were.
    int exchangeRetries = 0;
    // Compare the device's memory with the image first (CRC16s of ranges) and write only the
    // pages that differ; an attempt after a failed one thus resumes. A changed page passes as
    // equal with a chance of about 1 in 65,536 (a difference of random shape inside one page);
    // kVerifyMethodFull reads every page back and so finds it.
    bool skipEqualPages = false;
    // Page writes sent before the earlier replies have come, 1 to kMostPagesInFlight. Serial
    // channels and the blind run mode keep to 1.
    int pagesInFlight = 1;
};

inline constexpr int kMostPagesInFlight = 16;

// The number of attempts that settings allow.
QEL_API int MaxAttemptsOf(const DownloadSettings& settings);

// Loads a firmware file as HL_ReadFile does; 0 and an image of the caller's, or a failure code.
using ImageLoader = int (*)(const char* path, char** image, int* first, int* end);

// A loaded file with its application image, ready for any number of downloads in any threads.
struct QEL_API PreparedFirmware {
    std::uint32_t first = 0;                      // the lowest address of the file's data
    std::uint32_t end = 0;                        // the end of its data (exclusive)
    std::vector<unsigned char> applicationImage;  // header, data and zero fill, whole pages

    int Pages() const;
};

// The device's channel, which stays the caller's: opened at the start of every attempt with
// openRecord, closed after a failed attempt and at the end.
struct DownloadChannel {
    ICommChannel* channel = nullptr;  // null: the channel object could not be made
    void* openRecord = nullptr;       // the _serial_open_params or _socket_open_params to open with
    std::string connectingLine;       // reported before every Open: "\nConnecting COM1 ..."
    // The channel's line speed, when it can say it (a serial channel): with exchangeRetries the
    // wait for a lost reply follows it. Null: the channel's own time-out.
    ILineTiming* lineTiming = nullptr;
    // Run once before the first attempt (the socket library for TCP); false ends the download.
    // Empty: there is nothing to start.
    std::function<bool()> startSocketLibrary;
};

struct DownloadResult {
    int exitStatus = QEL_EXIT_SUCCESS;  // qel_exit_status
    int code = 0;                       // the result code that ended a failed download
    int failure = QEL_FAILURE_NONE;     // qel_failure
    int attempts = 0;                   // attempts begun
    double seconds = 0;
    int pagesWritten = 0;  // pages of the image that the last upgrade wrote
    int pagesSkipped = 0;  // pages that the device held already and that were not written again

    bool Ok() const { return failure == QEL_FAILURE_NONE; }
};

// Loads the file (loader, or the library's reader when null) and prepares its application image:
// "Loading HEX file...", ..., "Done.", then a START event. Emits no RESULT; a failure has the
// class QEL_FAILURE_FILE.
QEL_API DownloadResult PrepareFirmware(const std::string& path, PreparedFirmware& firmware,
                                       EventSink& sink, ImageLoader loader = nullptr);

// One device's download of a prepared firmware, with a QelProtocol object of its own; several may
// run at once in their own threads, each with its own channel and sink. cancel, when given, is
// read between the steps and the attempts: a download it stops ends with QEL_FAILURE_CANCELLED.
QEL_API DownloadResult Download(const PreparedFirmware& firmware, const DownloadChannel& channel,
                                const DownloadSettings& settings, EventSink& sink,
                                const std::atomic<bool>* cancel = nullptr);

// The whole of Orvane's download: the channel object checked first, then PrepareFirmware and
// Download, with one RESULT at the end whatever happens.
QEL_API DownloadResult DownloadFile(const std::string& path, const DownloadChannel& channel,
                                    const DownloadSettings& settings, EventSink& sink,
                                    const std::atomic<bool>* cancel = nullptr,
                                    ImageLoader loader = nullptr);

}  // namespace qel
