// Orvane's download through the C interface: the options as numbers, the handle's channel opened
// at each attempt, its callback for the events and its flag for a cancel.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "c_boundary.h"
#include "device_handle.h"
#include "qel_download.h"

namespace {

// Sizes of the structs as the first version of qel.h has them: a caller's may only be larger,
// and an options struct larger than this bound is one whose size was never set.
constexpr std::uint32_t kFirstOptionsSize = offsetof(qel_download_options, retries);
constexpr std::uint32_t kLargestOptionsSize = 1024;
constexpr std::uint32_t kFirstResultSize = sizeof(qel_download_result);

constexpr std::int32_t kMostRetries = 10;

bool IsOptionsSize(std::uint32_t size) {
    return size >= kFirstOptionsSize && size <= kLargestOptionsSize;
}

qel_download_options DefaultOptions() {
    qel_download_options options{};
    options.size = sizeof options;
    options.verify = QEL_VERIFY_CRC16;
    options.mode = QEL_MODE_ALL;
    options.pause_ms = static_cast<std::int32_t>(qel::kDefaultPauseMs);
    return options;
}

// A newer caller's options past the ones this library knows must be left at 0, their default.
bool SetsUnknownOptions(const qel_download_options& given) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&given);
    for (std::uint32_t at = sizeof(qel_download_options); at < given.size; ++at) {
        if (bytes[at] != 0) {
            return true;
        }
    }
    return false;
}

// 0 and the settings of the caller's options (null: the defaults), or the code that refuses them.
int SettingsOf(const qel_download_options* given, qel::DownloadSettings& settings) {
    if (given != nullptr && !IsOptionsSize(given->size)) {
        return qel::kErrBufferSize;
    }
    // An older caller's struct is shorter: what it does not hold keeps the default.
    qel_download_options options = DefaultOptions();
    if (given != nullptr) {
        std::memcpy(&options, given, std::min<std::size_t>(given->size, sizeof options));
    }
    const bool valid =
        (options.verify == QEL_VERIFY_CRC16 || options.verify == QEL_VERIFY_FULL) &&
        options.mode >= QEL_MODE_ALL && options.mode <= QEL_MODE_BLIND && options.attempts >= 0 &&
        options.pause_ms >= 0 && options.retries >= 0 && options.retries <= kMostRetries &&
        (options.skip_equal == 0 || options.skip_equal == 1) && options.pages_in_flight >= 0 &&
        options.pages_in_flight <= qel::kMostPagesInFlight;
    if (!valid || (given != nullptr && SetsUnknownOptions(*given))) {
        return qel::kErrArgument;
    }
    settings.verifyMethod = options.verify;
    settings.runMode = options.mode;
    settings.maxAttempts = options.attempts;
    settings.pauseMs = static_cast<unsigned long>(options.pause_ms);
    settings.exchangeRetries = options.retries;
    settings.skipEqualPages = options.skip_equal != 0;
    settings.pagesInFlight = std::max(options.pages_in_flight, 1);
    return qel::kOk;
}

qel_download_result ResultOf(const qel::DownloadResult& ended) {
    qel_download_result result{};
    result.seconds = ended.seconds;
    result.ok = ended.Ok() ? 1 : 0;
    result.code = ended.code;
    result.exit_status = ended.exitStatus;
    result.failure = ended.failure;
    result.attempts = ended.attempts;
    result.pages_written = ended.pagesWritten;
    result.pages_skipped = ended.pagesSkipped;
    return result;
}

}  // namespace

extern "C" {

int32_t qel_download_options_init(qel_download_options* options, uint32_t size) {
    if (options == nullptr) {
        return qel::kErrArgument;
    }
    if (!IsOptionsSize(size)) {
        return qel::kErrBufferSize;
    }
    // An older caller's struct is shorter; options this library does not know keep their
    // default, 0.
    std::memset(options, 0, size);
    const qel_download_options defaults = DefaultOptions();
    std::memcpy(options, &defaults, std::min<std::size_t>(size, sizeof defaults));
    options->size = size;
    return qel::kOk;
}

int32_t qel_download(qel_device* device, const char* path, const qel_download_options* options,
                     qel_download_result* result, uint32_t result_size) {
    return qel::c::Guarded([&] {
        if (device == nullptr || path == nullptr || result == nullptr) {
            return qel::kErrArgument;
        }
        if (result_size < kFirstResultSize) {
            return qel::kErrBufferSize;
        }
        qel::DownloadSettings settings;
        const int refused = SettingsOf(options, settings);
        if (refused != qel::kOk) {
            return refused;
        }
        device->cancel = false;
        // Each attempt opens the channel itself, as Orvane's do.
        device->Close();
        qel::DownloadChannel channel;
        channel.channel = &device->Channel();
        channel.openRecord = device->OpenRecord();
        channel.connectingLine = device->ConnectingLine();
        // A serial line says its speed, for the wait of a retried exchange.
        channel.lineTiming = dynamic_cast<ILineTiming*>(channel.channel);
        const qel::DownloadResult ended =
            qel::DownloadFile(path, channel, settings, device->events, &device->cancel);
        // The download leaves the channel closed; the handle's next command opens it.
        device->Close();
        const qel_download_result filled = ResultOf(ended);
        std::memcpy(result, &filled, sizeof filled);
        return qel::kOk;
    });
}

int32_t qel_cancel(qel_device* device) {
    if (device == nullptr) {
        return qel::kErrArgument;
    }
    device->cancel = true;
    return qel::kOk;
}

}  // extern "C"
