// The file loaded once and its application image prepared once, for every device of a download.
#include <memory>

#include "application_layout.h"
#include "download_steps.h"
#include "hex_file.h"
#include "input_kind.h"
#include "protocol_binding.h"

namespace qel {
namespace {

constexpr EventFields kLoadLine{.phase = QEL_PHASE_LOAD};
constexpr EventFields kPrepareLine{.phase = QEL_PHASE_PREPARE};

// A named pipe without a writer would block the reader for ever. Directories and missing files
// fail at once in the reader, with its own messages.
bool IsRefusedBeforeOpening(const std::string& path, EventEmitter& events) {
    const InputKind kind = KindOfInput(path);
    if (kind == InputKind::kMissing || kind == InputKind::kDirectory || IsReadableKind(kind)) {
        return false;
    }
    events.Emit({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_LOAD, .code = kErrHexLoad},
                "\nERROR: File '%s' %s.", path.c_str(), NotReadableReason(kind).c_str());
    return true;
}

struct LoadedImage {
    std::unique_ptr<char[]> bytes;
    int first = 0;
    int end = 0;
};

// 0, or the result code that refuses the file.
int LoadImage(const std::string& path, ImageLoader loader, DownloadSink& sink,
              LoadedImage& loaded) {
    EventEmitter events(&sink);
    events.Emit(kLoadLine, "\nLoading HEX file...");
    char* image = nullptr;
    int result = kErrHexLoad;
    if (!IsRefusedBeforeOpening(path, events)) {
        result = loader != nullptr
                     ? loader(path.c_str(), &image, &loaded.first, &loaded.end)
                     : HL_ReadFileWithSink(path.c_str(), &image, &loaded.first, &loaded.end, &sink);
    }
    if (result != kOk) {
        events.Emit({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_LOAD, .code = result},
                    "\nERROR: Cannot read HEX file.");
        return result;
    }
    loaded.bytes.reset(image);
    events.Emit(kLoadLine, "\nDone.");
    if (loaded.first < static_cast<int>(kLowestDownloadAddress)) {
        const EventFields refusal{.kind = QEL_EVENT_ERROR,
                                  .phase = QEL_PHASE_LOAD,
                                  .code = kErrImageBelowFloor,
                                  .address = static_cast<std::uint32_t>(loaded.first)};
        events.Emit(refusal, "\nFirst Address in HEX file is: 0x%x.",
                    static_cast<unsigned>(loaded.first));
        events.Emit(refusal, "\nThe HEX is not suitable for remote downloading. Exit.\n");
        return kErrImageBelowFloor;
    }
    return kOk;
}

// 0, or the result code of PrepareDataBuffer.
int PrepareImage(const LoadedImage& loaded, DownloadSink& sink, PreparedFirmware& firmware) {
    EventEmitter events(&sink);
    events.Emit(kPrepareLine, "\nPrepare data buffer...");
    QelProtocol protocol(nullptr, kVerifyMethodCrc16, kRunModeAll, nullptr);
    protocol.SetEventSink(&sink);
    const int result = protocol.PrepareDataBuffer(loaded.bytes.get(), loaded.first, loaded.end);
    if (result != kOk) {
        events.Emit({.kind = QEL_EVENT_ERROR, .phase = QEL_PHASE_PREPARE, .code = result},
                    "\nERROR: Cannot prepare data buffer.");
        return result;
    }
    firmware.first = static_cast<std::uint32_t>(loaded.first);
    firmware.end = static_cast<std::uint32_t>(loaded.end);
    firmware.applicationImage = ProtocolBinding::PreparedImage(protocol);
    events.Emit(kPrepareLine, "\nDone.");
    return kOk;
}

void ReportStart(const PreparedFirmware& firmware, DownloadSink& sink) {
    qel_event start = MakeEvent(QEL_EVENT_START);
    start.phase = QEL_PHASE_PREPARE;
    start.address = firmware.first;
    start.end_address = firmware.end;
    start.pages_total = firmware.Pages();
    EventEmitter(&sink).Deliver(start);
}

}  // namespace

int PreparedFirmware::Pages() const {
    return static_cast<int>(applicationImage.size() / layout::kPageBytes);
}

DownloadResult Prepare(const std::string& path, PreparedFirmware& firmware, DownloadSink& sink,
                       ImageLoader loader) {
    LoadedImage loaded;
    int result = LoadImage(path, loader, sink, loaded);
    if (result == kOk) {
        result = PrepareImage(loaded, sink, firmware);
    }
    if (result != kOk) {
        return Failed(QEL_FAILURE_FILE, result);
    }
    ReportStart(firmware, sink);
    return {};
}

DownloadResult PrepareFirmware(const std::string& path, PreparedFirmware& firmware, EventSink& sink,
                               ImageLoader loader) {
    DownloadSink measured(sink);
    DownloadResult result = Prepare(path, firmware, measured, loader);
    result.seconds = measured.Seconds();
    return result;
}

}  // namespace qel
