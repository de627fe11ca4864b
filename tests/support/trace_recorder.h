// A trace window that records every notification it receives, with the text it pointed to.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "trace_window.h"

#ifndef _WIN32
class TraceRecorder : public qel::TraceReceiver {
  public:
    struct Notification {
        unsigned int message;
        std::uintptr_t wParam;
        std::string text;  // up to the NUL, or the request's characters when not terminated
    };

    // Requests are not NUL-terminated; their length is the high word of wParam.
    std::intptr_t OnMessage(unsigned int message, std::uintptr_t wParam,
                            std::intptr_t lParam) override {
        const char* text = reinterpret_cast<const char*>(lParam);
        const std::size_t characters = (wParam >> 16) & 0xFFFF;
        if (characters != 0) {
            m_received.push_back({message, wParam, std::string(text, characters)});
        } else {
            m_received.push_back({message, wParam, std::string(text)});
        }
        return 0;
    }
    HWND Window() { return this; }
    const std::vector<Notification>& Received() const { return m_received; }

  private:
    std::vector<Notification> m_received;
};
#endif
