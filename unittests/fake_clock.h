// A scripted clock for the seeding code: every reading is logged in `events`
// ('m' milliseconds, 's' seconds) so a test can check the order of reads.
#pragma once
#include <cstdint>
#include <string>

struct FakeClock {
  static inline std::string events;
  static inline uint32_t second = 1000;  // the seconds clock's current value
  static inline int hold = 0;            // readings left before the second advances
  static inline int32_t ms = 500;        // the next millisecond reading
  static inline int32_t ms_step = 1;     // added to ms after every reading

  static void reset(uint32_t start_second, int hold_readings, int32_t start_ms, int32_t step) {
    events.clear();
    second = start_second;
    hold = hold_readings;
    ms = start_ms;
    ms_step = step;
  }

  static int32_t milliseconds() {
    events += 'm';
    const int32_t reading = ms;
    ms += ms_step;
    return reading;
  }
  // Keeps its value while `hold` lasts, then advances by one second a reading.
  static uint32_t seconds() {
    events += 's';
    if (hold-- <= 0) ++second;
    return second;
  }
};
