// The receiver of QelProtocol's trace notifications. On Windows it is a real window, and the
// notifications go through Windows' own SendMessageA. Elsewhere HWND points to an object of the
// caller's that derives from qel::TraceReceiver: the library calls its handler where Windows would
// call the window procedure, with the same message, wParam and lParam.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

namespace qel {

class TraceReceiver {
  public:
    // Runs before the exchange goes on; lParam points to text that is valid only during the call.
    virtual std::intptr_t OnMessage(unsigned int message, std::uintptr_t wParam,
                                    std::intptr_t lParam) = 0;

  protected:
    ~TraceReceiver() = default;
};

}  // namespace qel

using HWND = qel::TraceReceiver*;
#endif
