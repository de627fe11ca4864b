#include "download_services.h"

#include "hex_file.h"

namespace orvane {

// A lambda rather than the loader itself: it has C linkage.
DownloadServices RealServices() {
    return {&cli::MakeLibraryChannel,
            [](const char* path, char** image, int* first, int* end) {
                return HL_ReadFile(path, image, first, end);
            },
            cli::SystemSocketLibraryStarter(), &ListSerialPorts};
}

}  // namespace orvane
