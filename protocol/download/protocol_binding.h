// What a download sets up in a QelProtocol object beyond its public operations: the application
// image prepared once for every device, the cancel flag, and what the upgrade wrote. Internal to
// the library.
#pragma once

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

#include "qel_protocol.h"

namespace qel {

class ProtocolBinding {
  public:
    // The application image that PrepareDataBuffer built; empty when there is none.
    static std::vector<unsigned char> PreparedImage(const QelProtocol& protocol) {
        if (protocol.m_dataBuffer == nullptr) {
            return {};
        }
        return {protocol.m_dataBuffer, protocol.m_dataBuffer + protocol.m_dataSize};
    }

    // Gives protocol its own copy of a prepared image; false when there is no memory for it.
    static bool InstallImage(QelProtocol& protocol, const std::vector<unsigned char>& image) {
        if (image.empty()) {
            return false;
        }
        auto* copy = new (std::nothrow) unsigned char[image.size()];
        if (copy == nullptr) {
            return false;
        }
        std::copy(image.begin(), image.end(), copy);
        delete[] protocol.m_dataBuffer;
        protocol.m_dataBuffer = copy;
        protocol.m_dataSize = static_cast<std::int32_t>(image.size());
        protocol.m_imageVerified = false;
        return true;
    }

    static void SetCancelFlag(QelProtocol& protocol, const std::atomic<bool>* cancel) {
        protocol.m_cancel = cancel;
    }

    // Compare first and write only the pages that differ; page writes in flight (1: one at a
    // time).
    static void SetPageSending(QelProtocol& protocol, bool skipEqualPages, int pagesInFlight) {
        protocol.m_skipEqualPages = skipEqualPages;
        protocol.m_pagesInFlight = pagesInFlight;
    }

    static int PagesWritten(const QelProtocol& protocol) { return protocol.m_pagesWritten; }
    static int PagesSkipped(const QelProtocol& protocol) { return protocol.m_pagesSkipped; }
    static const std::uint64_t* LineBytes(const QelProtocol& protocol) {
        return &protocol.m_lineBytes;
    }
};

}  // namespace qel
