// Bit-transition group kernel, in ns per draw. The kernel reads bit 0 of every
// word, so its cost over the family's raw draw (BM_RawDraw in draws_bench.cpp)
// is the counting alone.
#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/bit_transition.h"

namespace {

constexpr uint32_t GROUPS = 1 << 14;
constexpr uint32_t DRAWS = GROUPS * (PAIR_COUNTED_BITS + 1);

// The group kernel at the default ratio and at 51, where about 92% of the
// groups count and the branch on the sum is least predictable.
template <class F>
void BM_PairKernel(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  const int ratio = static_cast<int>(st.range(0));
  for (auto _ : st) {
    TransitionCounts counts;
    typename F::Cursor draw;
    bit_transition_count(draw, counts, ratio, GROUPS);
    benchmark::DoNotOptimize(counts);
  }
  set_ns_per_draw(st, DRAWS);
}

BENCHMARK(BM_PairKernel<Xor128>)->Arg(75)->Arg(51);
BENCHMARK(BM_PairKernel<Mt>)->Arg(75)->Arg(51);
BENCHMARK(BM_PairKernel<Sfmt>)->Arg(75)->Arg(51);
BENCHMARK(BM_PairKernel<Rb5u>)->Arg(75)->Arg(51);
BENCHMARK(BM_PairKernel<Rb5uSse4>)->Arg(75)->Arg(51);

}  // namespace
