// Every family's raw draw through its hot-loop cursor, and the chi-square
// kernels on every family that has a chi-square program, in ns per draw. The
// other benchmarks' kernels compare against BM_RawDraw of the same family.
#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "generators/mt19937.h"
#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/chi_square.h"

namespace {

constexpr uint32_t DRAWS = 1 << 20;

// The words are folded into one value so that none can be dropped.
template <class F>
void BM_RawDraw(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    typename F::Cursor draw;
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= draw.next32();
    benchmark::DoNotOptimize(sink);
  }
  set_ns_per_draw(st, DRAWS);
}
BENCHMARK(BM_RawDraw<Xor128>);
BENCHMARK(BM_RawDraw<Mt>);
BENCHMARK(BM_RawDraw<Sfmt>);
BENCHMARK(BM_RawDraw<SfmtSse2>);
BENCHMARK(BM_RawDraw<Rb5u>);
BENCHMARK(BM_RawDraw<Rb5uSse4>);
BENCHMARK(BM_RawDraw<Rb3w>);
BENCHMARK(BM_RawDraw<Rb3wSse4>);

// The draw without a word, for the families whose cursor can skip (the
// throughput programs time this one).
template <class F>
void BM_SkipDraw(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    typename F::Cursor draw;
    for (uint32_t i = 0; i < DRAWS; ++i) draw.skip();
  }
  benchmark::DoNotOptimize(F::state.pos);
  set_ns_per_draw(st, DRAWS);
}
BENCHMARK(BM_SkipDraw<Rb5u>);
BENCHMARK(BM_SkipDraw<Rb5uSse4>);
BENCHMARK(BM_SkipDraw<Rb3w>);
BENCHMARK(BM_SkipDraw<Rb3wSse4>);

template <class F, class Test>
void BM_ChiKernel(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    ChiBins bins = {};
    {
      typename F::Cursor draw;
      chi_square_count<Test>(draw, bins, DRAWS / Test::draws);
    }
    benchmark::DoNotOptimize(bins);
  }
  set_ns_per_draw(st, DRAWS);
}
// One line per chi-square program.
BENCHMARK(BM_ChiKernel<Xor128, ChiTest6>);
BENCHMARK(BM_ChiKernel<Xor128, ChiTest7>);
BENCHMARK(BM_ChiKernel<Xor128, ChiTest8>);
BENCHMARK(BM_ChiKernel<Mt, ChiTest6>);
BENCHMARK(BM_ChiKernel<Mt, ChiTest7>);
BENCHMARK(BM_ChiKernel<Mt, ChiTest8>);
BENCHMARK(BM_ChiKernel<Sfmt, ChiTest7>);
BENCHMARK(BM_ChiKernel<Sfmt, ChiTest8>);
BENCHMARK(BM_ChiKernel<Rb5u, ChiTest7>);
BENCHMARK(BM_ChiKernel<Rb5u, ChiTest8>);
BENCHMARK(BM_ChiKernel<Rb5uSse4, ChiTest6>);
BENCHMARK(BM_ChiKernel<Rb5uSse4, ChiTest7>);
BENCHMARK(BM_ChiKernel<Rb5uSse4, ChiTest8>);
BENCHMARK(BM_ChiKernel<Rb3w, ChiTest7>);
BENCHMARK(BM_ChiKernel<Rb3wSse4, ChiTest7>);

}  // namespace
