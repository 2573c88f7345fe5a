// The two clocks of the run harness and the elapsed-time convention.
//
// The millisecond clock is wall-clock time since program start (monotonic),
// as a signed 32-bit count; the seconds clock is the low 32 bits of time().
// Nothing else in the suite reads time.
#pragma once
#include <cstdint>

struct SystemClock {
  static int32_t milliseconds();
  static uint32_t seconds();
};

// Reads the seconds clock once, then again until it changes; returns how many
// of those further readings still showed the first value.
template <class Clock = SystemClock>
uint32_t wait_next_second() {
  const uint32_t t0 = Clock::seconds();
  uint32_t same = 0;
  while (Clock::seconds() == t0) ++same;
  return same;
}

// A millisecond-clock reading as the origin of an elapsed time.
template <class Clock = SystemClock>
double start_tick() {
  return Clock::milliseconds();
}

template <class Clock = SystemClock>
double elapsed_seconds(double since_tick) {
  return (Clock::milliseconds() - since_tick) * 0.001;
}
