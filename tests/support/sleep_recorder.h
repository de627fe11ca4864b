// Replaces the library's Sleep for the lifetime of the object: every pause is recorded and
// returns at once.
#pragma once

#include <vector>

#include "qel_sleep.h"

class SleepRecorder {
  public:
    SleepRecorder() : m_previous(qel::SetSleepFunction(&Record)) { Pauses().clear(); }
    ~SleepRecorder() { qel::SetSleepFunction(m_previous); }
    SleepRecorder(const SleepRecorder&) = delete;
    SleepRecorder& operator=(const SleepRecorder&) = delete;

    // Every pause since construction, in milliseconds, in order.
    static std::vector<unsigned long>& Pauses() {
        static std::vector<unsigned long> pauses;
        return pauses;
    }

  private:
    static void Record(unsigned long milliseconds) { Pauses().push_back(milliseconds); }
    qel::SleepFunction m_previous;
};
