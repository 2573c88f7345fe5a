// MT19937: our draw beside the standard library's generator, and one
// regeneration, in ns.
#include <benchmark/benchmark.h>

#include <random>

#include "generators/mt19937.h"
#include "tests/chi_square.h"

namespace {

constexpr uint32_t DRAWS = 1 << 20;

void per_draw(benchmark::State& st) {
  st.counters["ns/draw"] = benchmark::Counter(double(DRAWS) * st.iterations(),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The programs' draw: one mt_next32 call per word on the program-wide state.
void BM_MtNext32(benchmark::State& st) {
  const uint32_t key[4] = {1, 1, 1, 1};
  Mt::seed(key);
  for (auto _ : st) {
    Mt::Cursor draw;
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= draw.next32();
    benchmark::DoNotOptimize(sink);
  }
  per_draw(st);
}
BENCHMARK(BM_MtNext32);

// The same generator from the standard library, the same number of words.
void BM_StdMt19937(benchmark::State& st) {
  std::mt19937 standard;
  for (auto _ : st) {
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= static_cast<uint32_t>(standard());
    benchmark::DoNotOptimize(sink);
  }
  per_draw(st);
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

template <class Test>
void BM_MtChiKernel(benchmark::State& st) {
  const uint32_t key[4] = {1, 1, 1, 1};
  Mt::seed(key);
  for (auto _ : st) {
    ChiBins bins = {};
    {
      Mt::Cursor draw;
      chi_square_count<Test>(draw, bins, DRAWS / Test::draws);
    }
    benchmark::DoNotOptimize(bins);
  }
  per_draw(st);
}
BENCHMARK(BM_MtChiKernel<ChiTest7>);
BENCHMARK(BM_MtChiKernel<ChiTest8>);

}  // namespace
