// A real message-only window (HWND_MESSAGE) that records every trace notification it is sent,
// with the text its lParam points to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

class MessageWindow {
  public:
    struct Notification {
        UINT message;
        WPARAM wParam;
        std::string text;
    };

    MessageWindow() {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kClassName;
        // A second registration fails harmlessly: the class is the same.
        RegisterClassA(&windowClass);
        m_window = CreateWindowExA(0, kClassName, "trace", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   instance, nullptr);
        if (m_window != nullptr) {
            SetWindowLongPtrA(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        }
    }
    ~MessageWindow() {
        if (m_window != nullptr) {
            DestroyWindow(m_window);
        }
    }
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Window() const { return m_window; }
    const std::vector<Notification>& Received() const { return m_received; }

  private:
    static constexpr const char* kClassName = "QelTraceTestWindow";
    static constexpr UINT kTraceMessage = 0x401;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr || message != kTraceMessage) {
            return DefWindowProcA(window, message, wParam, lParam);
        }
        self->Record(message, wParam, reinterpret_cast<const char*>(lParam));
        return 0;
    }

    // A request's text is not NUL-terminated: its length is the high word of wParam.
    void Record(UINT message, WPARAM wParam, const char* text) {
        const std::size_t characters = (wParam >> 16) & 0xFFFF;
        m_received.push_back(
            {message, wParam, characters != 0 ? std::string(text, characters) : std::string(text)});
    }

    HWND m_window = nullptr;
    std::vector<Notification> m_received;
};
