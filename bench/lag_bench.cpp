// The lag test's batch kernel beside the raw draw of each family, in ns per
// draw. The kernel must stay within twice the raw draw on xorshift128.
#include <benchmark/benchmark.h>

#include "generators/mt19937.h"
#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/lag.h"

namespace {

constexpr uint32_t RAW_DRAWS = 1 << 20;
constexpr uint32_t EXPECTED_PER_CELL = 64;  // 1,048,576 counted draws a batch

void set_ns_per_draw(benchmark::State& st, double draws_per_iteration) {
  st.counters["ns/draw"] =
      benchmark::Counter(draws_per_iteration * st.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Fixed seeding, as the throughput programs do it: every seed word 1.
template <class F>
void seed_with_ones() {
  if constexpr (F::protocol == SeedProtocol::four_words) {
    const uint32_t key[4] = {1, 1, 1, 1};
    F::seed(key);
  } else {
    uint32_t k0 = 1, k1 = 1;
    F::seed(k0, k1);
  }
}

// The raw draw through the family's hot-loop cursor; the words are folded
// into one value so that none can be dropped.
template <class F>
void BM_LagRawDraw(benchmark::State& st) {
  seed_with_ones<F>();
  for (auto _ : st) {
    typename F::Cursor draw;
    uint32_t sink = 0;
    for (uint32_t i = 0; i < RAW_DRAWS; ++i) sink ^= draw.next32();
    benchmark::DoNotOptimize(sink);
  }
  set_ns_per_draw(st, RAW_DRAWS);
}

// One batch at the lag given as the argument.
template <class F>
void BM_LagBatch(benchmark::State& st) {
  seed_with_ones<F>();
  static LagPairCounts counts;
  const int lag = static_cast<int>(st.range(0));
  for (auto _ : st) {
    lag_count_batch<F>(lag, counts, EXPECTED_PER_CELL);
    benchmark::DoNotOptimize(counts);
  }
  set_ns_per_draw(st, LAG_WINDOW_SLOTS + double(EXPECTED_PER_CELL) * LAG_CELLS);
}

BENCHMARK(BM_LagRawDraw<Xor128>);
BENCHMARK(BM_LagBatch<Xor128>)->Arg(1)->Arg(4)->Arg(15);
BENCHMARK(BM_LagRawDraw<Mt>);
BENCHMARK(BM_LagBatch<Mt>)->Arg(1)->Arg(15);
BENCHMARK(BM_LagRawDraw<SfmtSse2>);
BENCHMARK(BM_LagBatch<SfmtSse2>)->Arg(1)->Arg(15);
BENCHMARK(BM_LagRawDraw<Rb5u>);
BENCHMARK(BM_LagBatch<Rb5u>)->Arg(1)->Arg(15);
BENCHMARK(BM_LagRawDraw<Rb3w>);
BENCHMARK(BM_LagBatch<Rb3w>)->Arg(1)->Arg(15);

}  // namespace
