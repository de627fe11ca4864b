// Replaces the library's Sleep for the lifetime of the object: every pause is recorded and
// returns at once. Pauses may come from several threads (a station's devices).
#pragma once

#include <mutex>
#include <vector>

#include "qel_sleep.h"

class SleepRecorder {
  public:
    SleepRecorder() : m_previous(qel::SetSleepFunction(&Record)) { Pauses().clear(); }
    ~SleepRecorder() { qel::SetSleepFunction(m_previous); }
    SleepRecorder(const SleepRecorder&) = delete;
    SleepRecorder& operator=(const SleepRecorder&) = delete;

    // Every pause since construction, in milliseconds, in order. Read it when the threads that
    // pause have ended.
    static std::vector<unsigned long>& Pauses() {
        static std::vector<unsigned long> pauses;
        return pauses;
    }

  private:
    static void Record(unsigned long milliseconds) {
        static std::mutex oneAtATime;
        const std::lock_guard<std::mutex> lock(oneAtATime);
        Pauses().push_back(milliseconds);
    }
    qel::SleepFunction m_previous;
};
