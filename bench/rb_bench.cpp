// Rb5u and Rb3w, both builds: one refill, in ns per refill. Their draws and
// chi-square kernels are in draws_bench.cpp.
#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "generators/rb3w.h"
#include "generators/rb5u.h"

namespace {

// One refill, the remix of every 2129th included at its natural rate.
template <class F>
void BM_RbRefill(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    F::Draw::refill(F::state);
    benchmark::ClobberMemory();
  }
  set_ns_per_item(st, "ns/refill", 1);
}
BENCHMARK(BM_RbRefill<Rb5u>);
BENCHMARK(BM_RbRefill<Rb5uSse4>);
BENCHMARK(BM_RbRefill<Rb3w>);
BENCHMARK(BM_RbRefill<Rb3wSse4>);

}  // namespace
