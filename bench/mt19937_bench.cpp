// MT19937: the standard library's generator, to compare with our draw
// (BM_RawDraw<Mt> in draws_bench.cpp, one mt_next32 per word), and one
// regeneration, in ns.
#include <benchmark/benchmark.h>

#include <random>

#include "bench/bench_common.h"
#include "generators/mt19937.h"

namespace {

constexpr uint32_t DRAWS = 1 << 20;

// The same number of words as BM_RawDraw.
void BM_StdMt19937(benchmark::State& st) {
  std::mt19937 standard;
  for (auto _ : st) {
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= static_cast<uint32_t>(standard());
    benchmark::DoNotOptimize(sink);
  }
  set_ns_per_draw(st, DRAWS);
}
BENCHMARK(BM_StdMt19937);

void BM_MtRegenerate(benchmark::State& st) {
  MtState s;
  mt_seed(s, 5489);
  for (auto _ : st) {
    mt_regenerate(s);
    benchmark::DoNotOptimize(s.words);
  }
}
BENCHMARK(BM_MtRegenerate);

}  // namespace
