// The lag test's batch kernel, in ns per draw. It must stay within twice the
// raw draw on xorshift128 (BM_RawDraw<Xor128> in draws_bench.cpp).
#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "generators/mt19937.h"
#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/lag.h"

namespace {

constexpr uint32_t EXPECTED_PER_CELL = 64;  // 1,048,576 counted draws a batch

// One batch at the lag given as the argument.
template <class F>
void BM_LagBatch(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  static LagPairCounts counts;
  const int lag = static_cast<int>(st.range(0));
  for (auto _ : st) {
    lag_count_batch<F>(lag, counts, EXPECTED_PER_CELL);
    benchmark::DoNotOptimize(counts);
  }
  set_ns_per_draw(st, LAG_WINDOW_SLOTS + double(EXPECTED_PER_CELL) * LAG_CELLS);
}
BENCHMARK(BM_LagBatch<Xor128>)->Arg(1)->Arg(4)->Arg(15);
BENCHMARK(BM_LagBatch<Mt>)->Arg(1)->Arg(15);
BENCHMARK(BM_LagBatch<SfmtSse2>)->Arg(1)->Arg(15);
BENCHMARK(BM_LagBatch<Rb5u>)->Arg(1)->Arg(15);
BENCHMARK(BM_LagBatch<Rb3w>)->Arg(1)->Arg(15);

}  // namespace
