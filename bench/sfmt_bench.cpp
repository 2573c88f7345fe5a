// SFMT-19937, portable and SSE2 builds: the checked draw and one regeneration,
// in ns. The draw through the family's cursor is BM_RawDraw in draws_bench.cpp.
#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "generators/sfmt.h"

namespace {

constexpr uint32_t DRAWS = 1 << 20;

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
  set_ns_per_draw(st, DRAWS);
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

}  // namespace
