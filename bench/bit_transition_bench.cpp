// Bit-transition group kernel beside the raw draw of each family, in ns per
// draw. The kernel reads bit 0 of every word, so its cost over the raw draw is
// the counting alone.
#include <benchmark/benchmark.h>

#include "generators/xorshift128.h"
#include "tests/bit_transition.h"

namespace {

constexpr uint32_t GROUPS = 1 << 14;
constexpr uint32_t DRAWS = GROUPS * (PAIR_COUNTED_BITS + 1);

void per_draw(benchmark::State& st) {
  st.counters["ns/draw"] = benchmark::Counter(double(DRAWS) * st.iterations(),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The raw draw through the hot-loop cursor, every word folded into one value.
template <class F>
void BM_PairRawDraw(benchmark::State& st) {
  F::seed(1, 1);
  for (auto _ : st) {
    typename F::Cursor draw;
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= draw.next32();
    benchmark::DoNotOptimize(sink);
  }
  per_draw(st);
}

// The group kernel at the default ratio and at 51, where about 92% of the
// groups count and the branch on the sum is least predictable.
template <class F>
void BM_PairKernel(benchmark::State& st) {
  F::seed(1, 1);
  const int ratio = static_cast<int>(st.range(0));
  for (auto _ : st) {
    TransitionCounts counts;
    typename F::Cursor draw;
    bit_transition_count(draw, counts, ratio, GROUPS);
    benchmark::DoNotOptimize(counts);
  }
  per_draw(st);
}

BENCHMARK(BM_PairRawDraw<Xor128>);
BENCHMARK(BM_PairKernel<Xor128>)->Arg(75)->Arg(51);

}  // namespace
