#include "harness/clock.h"

#include <ctime>

namespace {

int64_t monotonic_ms() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
}

// Taken during static initialisation, before main runs.
const int64_t program_start_ms = monotonic_ms();

}  // namespace

int32_t SystemClock::milliseconds() {
  return static_cast<int32_t>(static_cast<uint32_t>(monotonic_ms() - program_start_ms));
}

uint32_t SystemClock::seconds() { return static_cast<uint32_t>(time(nullptr)); }
