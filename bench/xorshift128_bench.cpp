// xorshift128: the raw draw and the chi-square kernels on it, in ns per draw.
#include <benchmark/benchmark.h>

#include "generators/xorshift128.h"
#include "tests/chi_square.h"

namespace {

constexpr uint32_t DRAWS = 1 << 20;

// The raw draw through the hot-loop cursor; the words are folded into one
// value so that none can be dropped.
void BM_Xor128Draw(benchmark::State& st) {
  Xor128::seed(1, 1);
  for (auto _ : st) {
    Xor128::Cursor draw;
    uint32_t sink = 0;
    for (uint32_t i = 0; i < DRAWS; ++i) sink ^= draw.next32();
    benchmark::DoNotOptimize(sink);
  }
  st.counters["ns/draw"] = benchmark::Counter(double(DRAWS) * st.iterations(),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Xor128Draw);

template <class Test>
void BM_Xor128ChiKernel(benchmark::State& st) {
  Xor128::seed(1, 1);
  const uint32_t values = DRAWS / Test::draws;
  for (auto _ : st) {
    ChiBins bins = {};
    {
      Xor128::Cursor draw;
      chi_square_count<Test>(draw, bins, values);
    }
    benchmark::DoNotOptimize(bins);
  }
  st.counters["ns/draw"] = benchmark::Counter(double(DRAWS) * st.iterations(),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Xor128ChiKernel<ChiTest6>);
BENCHMARK(BM_Xor128ChiKernel<ChiTest7>);
BENCHMARK(BM_Xor128ChiKernel<ChiTest8>);

}  // namespace
