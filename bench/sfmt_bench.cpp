// SFMT-19937, portable and SSE2 builds: the draw as the test loops make it
// (through the family's cursor), the checked draw, and one regeneration, in ns.
#include <benchmark/benchmark.h>

#include "generators/sfmt.h"
#include "tests/chi_square.h"

namespace {

constexpr uint32_t DRAWS = 1 << 20;

void per_draw(benchmark::State& st) {
  st.counters["ns/draw"] = benchmark::Counter(double(DRAWS) * st.iterations(),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class F>
void BM_SfmtCursor(benchmark::State& st) {
  const uint32_t key[4] = {1, 1, 1, 1};
  F::seed(key);
  for (auto _ : st) {
    typename F::Cursor draw;
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= draw.next32();
    benchmark::DoNotOptimize(sink);
  }
  per_draw(st);
}
BENCHMARK(BM_SfmtCursor<Sfmt>);
BENCHMARK(BM_SfmtCursor<SfmtSse2>);

// sfmt_next32 itself, with its "initialized" check on every call.
template <uint32_t (*Next32)(SfmtState&)>
void BM_SfmtNext32(benchmark::State& st) {
  static SfmtState s;
  sfmt_seed(s, 1);
  for (auto _ : st) {
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= Next32(s);
    benchmark::DoNotOptimize(sink);
  }
  per_draw(st);
}
BENCHMARK(BM_SfmtNext32<sfmt_portable::sfmt_next32>)->Name("BM_SfmtNext32/portable");
BENCHMARK(BM_SfmtNext32<sfmt_sse2::sfmt_next32>)->Name("BM_SfmtNext32/sse2");

template <void (*Regenerate)(SfmtState&)>
void BM_SfmtRegenerate(benchmark::State& st) {
  static SfmtState s;
  sfmt_seed(s, 1);
  for (auto _ : st) {
    Regenerate(s);
    benchmark::DoNotOptimize(s.words);
  }
}
BENCHMARK(BM_SfmtRegenerate<sfmt_portable::sfmt_regenerate>)->Name("BM_SfmtRegenerate/portable");
BENCHMARK(BM_SfmtRegenerate<sfmt_sse2::sfmt_regenerate>)->Name("BM_SfmtRegenerate/sse2");

template <class Test, class F>
void BM_SfmtChiKernel(benchmark::State& st) {
  const uint32_t key[4] = {1, 1, 1, 1};
  F::seed(key);
  for (auto _ : st) {
    ChiBins bins = {};
    {
      typename F::Cursor draw;
      chi_square_count<Test>(draw, bins, DRAWS / Test::draws);
    }
    benchmark::DoNotOptimize(bins);
  }
  per_draw(st);
}
BENCHMARK(BM_SfmtChiKernel<ChiTest7, Sfmt>);
BENCHMARK(BM_SfmtChiKernel<ChiTest8, Sfmt>);

}  // namespace
