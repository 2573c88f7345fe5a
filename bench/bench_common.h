// Helpers shared by the benchmarks: the "ns/draw" counter and the fixed
// seeding of the throughput programs, with builds this processor cannot run
// skipped.
#pragma once
#include <benchmark/benchmark.h>

#include "harness/reseed.h"

// Reports the time per item under the counter's name ("ns/draw", "ns/word"):
// iterations times items_per_iteration, inverted into a rate so that the
// counter reads in seconds (shown as ns) per item.
inline void set_ns_per_item(benchmark::State& st, const char* counter, double items_per_iteration) {
  st.counters[counter] =
      benchmark::Counter(items_per_iteration * double(st.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

inline void set_ns_per_draw(benchmark::State& st, double draws_per_iteration) {
  set_ns_per_item(st, "ns/draw", draws_per_iteration);
}

// Seeds F with every seed word 1, as the throughput programs do; false, and
// the benchmark skipped, when the build needs instructions this processor lacks.
template <class F>
bool seed_or_skip(benchmark::State& st) {
  if (!processor_can_run<F>()) {
    st.SkipWithError("this processor lacks the build's instructions");
    return false;
  }
  fixed_seed<F>();
  return true;
}
