// The run-length kernels in ns per draw (the raw draws are in draws_bench.cpp),
// and the serial counter against a bit-by-bit loop on the same words.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_common.h"
#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/run_length.h"
#include "unittests/run_length_reference.h"

namespace {

constexpr uint32_t DRAWS = 1 << 22;

template <class F>
void BM_Len03Kernel(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    RunTables tables = {};
    len03_count<F>(tables, static_cast<int>(st.range(0)), 1, DRAWS);
    benchmark::DoNotOptimize(tables);
  }
  set_ns_per_draw(st, DRAWS);
}
BENCHMARK(BM_Len03Kernel<Xor128>)->Arg(0)->Arg(31);
BENCHMARK(BM_Len03Kernel<Mt>)->Arg(31);
BENCHMARK(BM_Len03Kernel<Sfmt>)->Arg(31);
BENCHMARK(BM_Len03Kernel<SfmtSse2>)->Arg(31);
BENCHMARK(BM_Len03Kernel<Rb5u>)->Arg(31);
BENCHMARK(BM_Len03Kernel<Rb5uSse4>)->Arg(31);

// The draw-by-draw loop with a branch per draw, for comparison.
void BM_Len03Plain(benchmark::State& st) {
  fixed_seed<Xor128>();
  for (auto _ : st) {
    PlainRunCounter plain = plain_len03<Xor128>(31, 1, DRAWS);
    benchmark::DoNotOptimize(plain);
  }
  set_ns_per_draw(st, DRAWS);
}
BENCHMARK(BM_Len03Plain);

template <class F>
void BM_LenSerKernel(benchmark::State& st) {
  if (!seed_or_skip<F>(st)) return;
  for (auto _ : st) {
    RunTables tables = {};
    lenser_count<F>(tables, 1, DRAWS);
    benchmark::DoNotOptimize(tables);
  }
  set_ns_per_draw(st, DRAWS);
}
BENCHMARK(BM_LenSerKernel<Xor128>);
BENCHMARK(BM_LenSerKernel<Mt>);
BENCHMARK(BM_LenSerKernel<Sfmt>);
BENCHMARK(BM_LenSerKernel<Rb5uSse4>);

// The counting alone, on the same stored words for both counters.
const std::vector<uint32_t>& stored_words() {
  static const std::vector<uint32_t> words = [] {
    std::vector<uint32_t> w(DRAWS);
    Xor128::seed(7, 7);
    for (uint32_t& x : w) x = Xor128::next32();
    return w;
  }();
  return words;
}

RunTables counted_by_words(const std::vector<uint32_t>& words) {
  RunCounter counter;
  counter.start(0);
  for (size_t i = 0; i + 1 < words.size(); i += 2)
    counter.add_bits(words[i] | uint64_t{words[i + 1]} << 32, 64);
  RunTables tables = {};
  counter.add_to(tables);
  return tables;
}

RunTables counted_bit_by_bit(const std::vector<uint32_t>& words) {
  PlainRunCounter plain;
  plain.start(0);
  for (uint32_t w : words) plain.add_word(w);
  return plain.tables;
}

bool same_tables(const RunTables& a, const RunTables& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void BM_SerialCountByWords(benchmark::State& st) {
  const std::vector<uint32_t>& words = stored_words();
  if (!same_tables(counted_by_words(words), counted_bit_by_bit(words)))
    st.SkipWithError("tables differ from the bit-by-bit count");
  for (auto _ : st) benchmark::DoNotOptimize(counted_by_words(words));
  set_ns_per_item(st, "ns/word", double(words.size()));
}
BENCHMARK(BM_SerialCountByWords);

void BM_SerialCountBitByBit(benchmark::State& st) {
  const std::vector<uint32_t>& words = stored_words();
  for (auto _ : st) benchmark::DoNotOptimize(counted_bit_by_bit(words));
  set_ns_per_item(st, "ns/word", double(words.size()));
}
BENCHMARK(BM_SerialCountBitByBit);

}  // namespace
