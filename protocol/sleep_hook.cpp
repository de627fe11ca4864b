// The replaceable pause: the real one comes from the platform layer.
#include <atomic>

#include "platform.h"
#include "qel_sleep.h"

namespace qel {
namespace {

std::atomic<SleepFunction> g_sleep{&platform::RealSleep};

}  // namespace

void Sleep(unsigned long milliseconds) {
    g_sleep.load()(milliseconds);
}

SleepFunction SetSleepFunction(SleepFunction replacement) {
    return g_sleep.exchange(replacement != nullptr ? replacement : &platform::RealSleep);
}

}  // namespace qel
