// Bit-transition group kernel beside the raw draw of each family, in ns per
// draw. The kernel reads bit 0 of every word, so its cost over the raw draw is
// the counting alone.
#include <benchmark/benchmark.h>

#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/bit_transition.h"

namespace {

constexpr uint32_t GROUPS = 1 << 14;
constexpr uint32_t DRAWS = GROUPS * (PAIR_COUNTED_BITS + 1);

void per_draw(benchmark::State& st) {
  st.counters["ns/draw"] = benchmark::Counter(double(DRAWS) * st.iterations(),
                                              benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A build this processor cannot run is skipped.
template <class F>
bool runs_here(benchmark::State& st) {
  if constexpr (requires { F::processor_supported(); }) {
    if (!F::processor_supported()) {
      st.SkipWithError("this processor lacks the build's instructions");
      return false;
    }
  }
  return true;
}

// Every family starts from the fixed seeding of the throughput programs.
template <class F>
void seed_with_ones() {
  if constexpr (F::protocol == SeedProtocol::two_words_by_value) {
    F::seed(1, 1);
  } else if constexpr (F::protocol == SeedProtocol::two_words_by_reference) {
    uint32_t k0 = 1, k1 = 1;
    F::seed(k0, k1);
  } else if constexpr (F::protocol == SeedProtocol::four_words) {
    const uint32_t key[4] = {1, 1, 1, 1};
    F::seed(key);
  }
}

// The raw draw through the hot-loop cursor, every word folded into one value.
template <class F>
void BM_PairRawDraw(benchmark::State& st) {
  if (!runs_here<F>(st)) return;
  seed_with_ones<F>();
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
  if (!runs_here<F>(st)) return;
  seed_with_ones<F>();
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
BENCHMARK(BM_PairRawDraw<Mt>);
BENCHMARK(BM_PairKernel<Mt>)->Arg(75)->Arg(51);
BENCHMARK(BM_PairRawDraw<Sfmt>);
BENCHMARK(BM_PairKernel<Sfmt>)->Arg(75)->Arg(51);
BENCHMARK(BM_PairRawDraw<Rb5u>);
BENCHMARK(BM_PairKernel<Rb5u>)->Arg(75)->Arg(51);
BENCHMARK(BM_PairRawDraw<Rb5uSse4>);
BENCHMARK(BM_PairKernel<Rb5uSse4>)->Arg(75)->Arg(51);

}  // namespace
