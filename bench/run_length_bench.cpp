// The run-length kernels in ns per draw, beside the raw xorshift128 draw
// (BM_Xor128Draw), and the serial counter against a bit-by-bit loop on the
// same words.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "generators/xorshift128.h"
#include "tests/run_length.h"
#include "unittests/run_length_reference.h"

namespace {

constexpr uint32_t DRAWS = 1 << 22;

benchmark::Counter per_item(double items) {
  return benchmark::Counter(items, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Len03Kernel(benchmark::State& st) {
  Xor128::seed(1, 1);
  for (auto _ : st) {
    RunTables tables = {};
    len03_count<Xor128>(tables, static_cast<int>(st.range(0)), 1, DRAWS);
    benchmark::DoNotOptimize(tables);
  }
  st.counters["ns/draw"] = per_item(double(DRAWS) * st.iterations());
}
BENCHMARK(BM_Len03Kernel)->Arg(0)->Arg(31);

// The draw-by-draw loop with a branch per draw, for comparison.
void BM_Len03Plain(benchmark::State& st) {
  Xor128::seed(1, 1);
  for (auto _ : st) {
    PlainRunCounter plain = plain_len03<Xor128>(31, 1, DRAWS);
    benchmark::DoNotOptimize(plain);
  }
  st.counters["ns/draw"] = per_item(double(DRAWS) * st.iterations());
}
BENCHMARK(BM_Len03Plain);

void BM_LenSerKernel(benchmark::State& st) {
  Xor128::seed(1, 1);
  for (auto _ : st) {
    RunTables tables = {};
    lenser_count<Xor128>(tables, 1, DRAWS);
    benchmark::DoNotOptimize(tables);
  }
  st.counters["ns/draw"] = per_item(double(DRAWS) * st.iterations());
}
BENCHMARK(BM_LenSerKernel);

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
  st.counters["ns/word"] = per_item(double(words.size()) * st.iterations());
}
BENCHMARK(BM_SerialCountByWords);

void BM_SerialCountBitByBit(benchmark::State& st) {
  const std::vector<uint32_t>& words = stored_words();
  for (auto _ : st) benchmark::DoNotOptimize(counted_bit_by_bit(words));
  st.counters["ns/word"] = per_item(double(words.size()) * st.iterations());
}
BENCHMARK(BM_SerialCountBitByBit);

}  // namespace
