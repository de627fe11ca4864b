// A trace window that records every notification it receives, with the text it pointed to. On
// Windows it is a real message-only window that Windows' own SendMessageA reaches; elsewhere the
// platform's receiver stands in for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trace_window.h"

class TraceRecorder
#ifndef _WIN32
    : public qel::TraceReceiver
#endif
{
  public:
    struct Notification {
        unsigned int message;
        std::uintptr_t wParam;
        std::string text;  // up to the NUL, or the request's characters when not terminated
    };

#ifdef _WIN32
    TraceRecorder() {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kClassName;
        RegisterClassA(&windowClass);  // fails harmlessly when registered before: the same class
        m_window = CreateWindowExA(0, kClassName, "trace", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance, nullptr);
        if (m_window != nullptr) {
            SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
    }
    ~TraceRecorder() {
        if (m_window != nullptr) {
            DestroyWindow(m_window);
        }
    }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    HWND Window() const {
        return m_window;
    }
#else
    std::intptr_t OnMessage(unsigned int message, std::uintptr_t wParam,
                            std::intptr_t lParam) override {
        Record(message, wParam, reinterpret_cast<const char*>(lParam));
        return 0;
    }
    HWND Window() {
        return this;
    }
#endif

    const std::vector<Notification>& Received() const {
        return m_received;
    }

  private:
    // Requests are not NUL-terminated; their length is the high word of wParam.
    void Record(unsigned int message, std::uintptr_t wParam, const char* text) {
        const std::size_t characters = (wParam >> 16) & 0xFFFF;
        m_received.push_back(
            {message, wParam, characters != 0 ? std::string(text, characters) : std::string(text)});
    }

#ifdef _WIN32
    static constexpr const char* kClassName = "QelTraceRecorder";

    // The window's own messages (creation, destruction) go on to Windows; the program's, from
    // WM_USER up, are recorded.
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TraceRecorder*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr || message < WM_USER) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        self->Record(message, wParam, reinterpret_cast<const char*>(lParam));
        return 0;
    }

    HWND m_window = nullptr;
#endif
    std::vector<Notification> m_received;
};
