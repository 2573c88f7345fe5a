// Rb5u and Rb3w, both builds: the raw draw and the draw without a word
// through the hot-loop cursor, one refill, and the ChiTest7 kernel, in ns
// per draw (ns per refill for the refill).
#include <benchmark/benchmark.h>

#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "tests/chi_square.h"

namespace {

constexpr uint32_t DRAWS = 1 << 20;

template <class F>
bool build_runs_here() {
  if constexpr (requires { F::processor_supported(); })
    return F::processor_supported();
  else
    return true;
}

template <class F>
bool seed_or_skip(benchmark::State& st) {
  if (!build_runs_here<F>()) {
    st.SkipWithError("this processor lacks SSE4.1");
    return false;
  }
  uint32_t s0 = 1, s1 = 1;
  F::seed(s0, s1);
  return true;
}

void per_draw(benchmark::State& st, double draws_per_iteration) {
  st.counters["ns/draw"] = benchmark::Counter(draws_per_iteration * st.iterations(),
                                              benchmark::Counter::kIsRate |
                                                  benchmark::Counter::kInvert);
}

// The words are folded into one value so that none can be dropped.
template <class F>
void BM_RbNext32(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    typename F::Cursor draw;
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= draw.next32();
    benchmark::DoNotOptimize(sink);
  }
  per_draw(st, DRAWS);
}

template <class F>
void BM_RbSkip(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    typename F::Cursor draw;
    for (uint32_t i = 0; i < DRAWS; ++i) draw.skip();
  }
  benchmark::DoNotOptimize(F::state.pos);
  per_draw(st, DRAWS);
}

// One refill, the remix of every 2129th included at its natural rate.
template <class F>
void BM_RbRefill(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    F::Draw::refill(F::state);
    benchmark::ClobberMemory();
  }
  st.counters["ns/refill"] = benchmark::Counter(double(st.iterations()),
                                                benchmark::Counter::kIsRate |
                                                    benchmark::Counter::kInvert);
}

template <class F>
void BM_RbChiTest7Kernel(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    ChiBins bins = {};
    {
      typename F::Cursor draw;
      chi_square_count<ChiTest7>(draw, bins, DRAWS / 2);
    }
    benchmark::DoNotOptimize(bins);
  }
  per_draw(st, DRAWS);
}

BENCHMARK(BM_RbNext32<Rb5u>);
BENCHMARK(BM_RbNext32<Rb5uSse4>);
BENCHMARK(BM_RbSkip<Rb5u>);
BENCHMARK(BM_RbSkip<Rb5uSse4>);
BENCHMARK(BM_RbRefill<Rb5u>);
BENCHMARK(BM_RbRefill<Rb5uSse4>);
BENCHMARK(BM_RbChiTest7Kernel<Rb5u>);
BENCHMARK(BM_RbChiTest7Kernel<Rb5uSse4>);
BENCHMARK(BM_RbNext32<Rb3w>);
BENCHMARK(BM_RbNext32<Rb3wSse4>);
BENCHMARK(BM_RbSkip<Rb3w>);
BENCHMARK(BM_RbSkip<Rb3wSse4>);
BENCHMARK(BM_RbRefill<Rb3w>);
BENCHMARK(BM_RbRefill<Rb3wSse4>);
BENCHMARK(BM_RbChiTest7Kernel<Rb3w>);
BENCHMARK(BM_RbChiTest7Kernel<Rb3wSse4>);

}  // namespace
