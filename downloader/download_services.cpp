#include "download_services.h"

namespace orvane {

DownloadServices RealServices() {
    return {&cli::MakeLibraryChannel, nullptr, cli::SystemSocketLibraryStarter(), &ListSerialPorts};
}

}  // namespace orvane
