#include "tests/run_length.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "generators/xorshift128.h"
#include "unittests/fixtures.h"
#include "unittests/run_length_reference.h"

namespace {

// ---------------------------------------------------------------------------
// SplitCount

std::string printed(const SplitCount& c) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", c.value());
  return text;
}

TEST(SplitCount, IncrementCarriesAtOneHundredMillion) {
  SplitCount c;
  for (int i = 0; i < 100000000; ++i) c.increment();
  EXPECT_EQ(c.high, 1u);
  EXPECT_EQ(c.low, 0u);
  EXPECT_EQ(printed(c), "100000000");
  c.increment();
  EXPECT_EQ(printed(c), "100000001");
}

TEST(SplitCount, AddEqualsThatManyIncrements) {
  struct Case {
    SplitCount start;
    uint64_t n;
  } cases[] = {
      {{0, 0}, 0},           {{0, 0}, 99999999},    {{0, 0}, 100000000},
      {{99999999, 0}, 1},    {{99999998, 3}, 5},    {{12345, 7}, 8589934593},
      {{99999999, 85}, 250000001},
  };
  for (const Case& c : cases) {
    SplitCount added = c.start;
    added.add(c.n);
    // Increment from a nearby start in whole hundred-millions, then one by one.
    SplitCount incremented = c.start;
    incremented.high += static_cast<uint32_t>(c.n / 100000000);
    for (uint64_t i = 0; i < c.n % 100000000; ++i) incremented.increment();
    EXPECT_EQ(added.high, incremented.high) << c.n;
    EXPECT_EQ(added.low, incremented.low) << c.n;
    EXPECT_LE(added.low, 99999999u);
  }
}

// ---------------------------------------------------------------------------
// Kernels on fixture words with known runs

// A bit stream given as runs of alternating value, the first of `first_bit`.
std::vector<int> bits_of_runs(int first_bit, std::initializer_list<int> lengths) {
  std::vector<int> bits;
  int bit = first_bit;
  for (int length : lengths) {
    bits.insert(bits.end(), length, bit);
    bit ^= 1;
  }
  return bits;
}

uint32_t table_words[512];
using Table = TableFamily<table_words, 512>;

// Noise in every bit the test does not look at.
uint32_t noise(size_t i) { return static_cast<uint32_t>(i * 0x9e3779b9u) ^ 0x5a5a5a5au; }

// Draw i carries bits[i] at bit `bit_index`.
void load_draws(const std::vector<int>& bits, int bit_index) {
  const uint32_t mask = uint32_t{1} << bit_index;
  for (size_t i = 0; i < bits.size(); ++i)
    table_words[i] = (noise(i) & ~mask) | (bits[i] ? mask : 0);
  Table::seed(0, 0);
}

// The starting word carries bits[0] in bit 31; then 32 bits a word, bit 0 first.
void load_serial_words(const std::vector<int>& bits) {
  ASSERT_EQ((bits.size() - 1) % 32, 0u);
  table_words[0] = (noise(0) & 0x7fffffff) | uint32_t(bits[0]) << 31;
  for (size_t w = 0; w * 32 + 1 < bits.size(); ++w) {
    uint32_t word = 0;
    for (int i = 0; i < 32; ++i) word |= uint32_t(bits[1 + w * 32 + i]) << i;
    table_words[1 + w] = word;
  }
  Table::seed(0, 0);
}

struct Slot {
  int bit;
  int slot;
  uint64_t count;
};

// Every slot of both tables: the listed ones hold their counts, all others 0.
void expect_only(const RunTables& tables, std::initializer_list<Slot> slots) {
  for (int bit = 0; bit <= 1; ++bit) {
    const RunTable& table = bit == 0 ? tables.zero_runs : tables.one_runs;
    for (int slot = 0; slot < RUN_SLOTS; ++slot) {
      uint64_t expected = 0;
      for (const Slot& s : slots)
        if (s.bit == bit && s.slot == slot) expected = s.count;
      EXPECT_EQ(table.slot[slot].value(), double(expected)) << "bit " << bit << " slot " << slot;
    }
  }
}

// Runs of 3 (1s), 63 (0s), 200 (1s), 1 (0s), 64 (1s), then 54 open (0s):
// 385 bits. The 200 crosses several pass and word boundaries in every layout
// below; 63, 64 and 200 all land in slot 63; the open run is not recorded.
const std::initializer_list<int> KNOWN_RUNS = {3, 63, 200, 1, 64, 54};
const std::initializer_list<Slot> KNOWN_COUNTS = {{1, 3, 1}, {0, 63, 1}, {1, 63, 2}, {0, 1, 1}};

TEST(Len03Kernel, KnownRunsInEveryPassLayout) {
  const std::vector<int> bits = bits_of_runs(1, KNOWN_RUNS);
  struct Layout {
    int passes;
    uint32_t draws_per_pass;
  } layouts[] = {{1, 384}, {3, 128}, {6, 64}, {4, 96}, {12, 32}, {384, 1}, {2, 192}};
  for (int bit_index : {0, 13, 31}) {
    for (const Layout& l : layouts) {
      SCOPED_TRACE(testing::Message() << "bit " << bit_index << ", " << l.passes << " x "
                                      << l.draws_per_pass);
      load_draws(bits, bit_index);
      RunTables tables = {};
      EXPECT_EQ(len03_count<Table>(tables, bit_index, l.passes, l.draws_per_pass), 54);
      expect_only(tables, KNOWN_COUNTS);
      EXPECT_EQ(Table::index, 385);  // one starting draw, then every pass's draws
    }
  }
}

TEST(LenSerKernel, KnownRunsInEveryPassLayout) {
  load_serial_words(bits_of_runs(1, KNOWN_RUNS));
  struct Layout {
    int passes;
    uint32_t words_per_pass;
  } layouts[] = {{1, 12}, {3, 4}, {4, 3}, {12, 1}, {2, 6}};
  for (const Layout& l : layouts) {
    SCOPED_TRACE(testing::Message() << l.passes << " x " << l.words_per_pass);
    Table::seed(0, 0);
    RunTables tables = {};
    EXPECT_EQ(lenser_count<Table>(tables, l.passes, l.words_per_pass), 54);
    expect_only(tables, KNOWN_COUNTS);
    EXPECT_EQ(Table::index, 13);
  }
}

TEST(Len03Kernel, ConstantWordIsOneOpenRun) {
  RunTables tables = {};
  EXPECT_EQ((len03_count<ConstantFamily<0x80000001u>>(tables, 31, 3, 1000)), 3001);
  expect_only(tables, {});
}

TEST(LenSerKernel, ConstantWordIsOneOpenRun) {
  for (int passes : {1, 3}) {
    RunTables tables = {};
    EXPECT_EQ((lenser_count<ConstantFamily<0xffffffffu>>(tables, passes, 101)), 1 + passes * 101 * 32);
    expect_only(tables, {});
  }
}

TEST(Len03Kernel, AlternatingDrawsGiveRunsOfOne) {
  // Counter words alternate in bit 0 and change bit 1 every second draw.
  CounterFamily::seed(0, 0);
  RunTables tables = {};
  EXPECT_EQ(len03_count<CounterFamily>(tables, 0, 5, 100), 1);
  expect_only(tables, {{0, 1, 250}, {1, 1, 250}});
  EXPECT_EQ(CounterFamily::next, 501u);

  // From 1, bit 1 reads 0 | 1 1 | 0 0 | 1 1 ...: a first run of length 1, then
  // runs of 2, the last one (draws 500 and 501) open.
  CounterFamily::seed(1, 0);
  tables = {};
  EXPECT_EQ(len03_count<CounterFamily>(tables, 1, 5, 100), 2);
  expect_only(tables, {{0, 1, 1}, {1, 2, 125}, {0, 2, 124}});
}

uint32_t two_words[2] = {0, 0xffffffffu};
using AlternatingWords = TableFamily<two_words, 2>;

TEST(LenSerKernel, AlternatingWordsGiveRunsOfThirtyTwo) {
  // Start word 0 (bit 31 is 0), then ~0, 0, ~0, ...: the starting bit alone
  // is a run of 0s of length 1, then every word is a run that ends in the next.
  AlternatingWords::seed(0, 0);
  RunTables tables = {};
  EXPECT_EQ(lenser_count<AlternatingWords>(tables, 2, 51), 32);
  expect_only(tables, {{0, 1, 1}, {1, 32, 51}, {0, 32, 50}});
}

TEST(LenSerKernel, AlternatingBitsReachOneHundredMillionRuns) {
  // 0x55555555: bit 31 of the start word is 0 and bit 0 of every word is 1,
  // so all 200,000,000 comparisons end a run of length 1.
  RunTables tables = {};
  EXPECT_EQ((lenser_count<ConstantFamily<0x55555555u>>(tables, 2, 3125000)), 1);
  expect_only(tables, {{0, 1, 100000000}, {1, 1, 100000000}});
  EXPECT_EQ(tables.zero_runs.slot[1].high, 1u);
  EXPECT_EQ(tables.zero_runs.slot[1].low, 0u);
  RunText text;
  format_run_lines(text, tables, ExpectedRuns(536870912.0), 1);
  EXPECT_EQ(std::string(text.data(), text.size()),
            "1\t   536870912.000\t       100000000\t       100000000\n");
}

// ---------------------------------------------------------------------------
// Kernels against the plain counters on generator words

// Words with few 1s (the AND of three draws) or few 0s (the OR), so that
// random runs of 63 and more turn up.
template <int Mode>
struct BiasedXor {
  static constexpr const char* tag = Mode == 0 ? "plain" : Mode == 1 ? "and3" : "or3";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_value;
  static uint32_t combine(uint32_t a, uint32_t b, uint32_t c) {
    if constexpr (Mode == 0) return a;
    if constexpr (Mode == 1) return a & b & c;
    if constexpr (Mode == 2) return a | b | c;
  }
  static void seed(uint32_t k0, uint32_t k1) { Xor128::seed(k0, k1); }
  static uint32_t next32() {
    const uint32_t a = Xor128::next32(), b = Xor128::next32();
    return combine(a, b, Xor128::next32());
  }
  struct Cursor {
    Xor128::Cursor draw;
    uint32_t next32() {
      const uint32_t a = draw.next32(), b = draw.next32();
      return combine(a, b, draw.next32());
    }
  };
};

bool same_state(const Xor128State& a, const Xor128State& b) {
  return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

void expect_same_tables(const RunTables& fast, const RunTables& plain) {
  for (int slot = 0; slot < RUN_SLOTS; ++slot) {
    EXPECT_EQ(fast.zero_runs.slot[slot].low, plain.zero_runs.slot[slot].low) << slot;
    EXPECT_EQ(fast.zero_runs.slot[slot].high, plain.zero_runs.slot[slot].high) << slot;
    EXPECT_EQ(fast.one_runs.slot[slot].low, plain.one_runs.slot[slot].low) << slot;
    EXPECT_EQ(fast.one_runs.slot[slot].high, plain.one_runs.slot[slot].high) << slot;
  }
}

template <class F>
void compare_len03(int bit_index, int passes, uint32_t draws_per_pass) {
  SCOPED_TRACE(testing::Message() << F::tag << " bit " << bit_index);
  F::seed(0x1234567, 0x89abcdef);
  RunTables fast = {};
  const int64_t open = len03_count<F>(fast, bit_index, passes, draws_per_pass);
  const Xor128State after_fast = Xor128::state;
  F::seed(0x1234567, 0x89abcdef);
  const PlainRunCounter plain = plain_len03<F>(bit_index, passes, draws_per_pass);
  expect_same_tables(fast, plain.tables);
  EXPECT_EQ(open, plain.run);
  EXPECT_TRUE(same_state(after_fast, Xor128::state));
}

TEST(Len03Kernel, MatchesThePlainCounterOnGeneratorDraws) {
  for (int bit_index : {0, 17, 31}) {
    compare_len03<BiasedXor<0>>(bit_index, 3, 1000003);
    compare_len03<BiasedXor<1>>(bit_index, 2, 524288);
    compare_len03<BiasedXor<2>>(bit_index, 2, 524288);
  }
  RunTables tables = {};
  BiasedXor<1>::seed(5, 5);
  len03_count<BiasedXor<1>>(tables, 9, 1, 1 << 20);
  EXPECT_GT(tables.zero_runs.slot[63].value(), 0) << "no long runs: the case proves little";
}

template <class F>
RunTables compare_lenser(int passes, uint32_t words_per_pass) {
  SCOPED_TRACE(F::tag);
  F::seed(0xfedcba98, 0x7654321);
  RunTables fast = {};
  const int64_t open = lenser_count<F>(fast, passes, words_per_pass);
  const Xor128State after_fast = Xor128::state;
  F::seed(0xfedcba98, 0x7654321);
  const PlainRunCounter plain = plain_lenser<F>(passes, words_per_pass);
  expect_same_tables(fast, plain.tables);
  EXPECT_EQ(open, plain.run);
  EXPECT_TRUE(same_state(after_fast, Xor128::state));
  return fast;
}

TEST(LenSerKernel, MatchesThePlainCounterOnGeneratorWords) {
  compare_lenser<BiasedXor<0>>(3, 1000001);  // 3 million words
  const RunTables sparse = compare_lenser<BiasedXor<1>>(1, 1 << 19);
  const RunTables dense = compare_lenser<BiasedXor<2>>(1, 1 << 19);
  EXPECT_GT(sparse.zero_runs.slot[63].value(), 0) << "no long runs: the case proves little";
  EXPECT_GT(dense.one_runs.slot[63].value(), 0) << "no long runs: the case proves little";
}

// ---------------------------------------------------------------------------
// Statistics and result text

TEST(RunStatistics, ExpectedCounts) {
  const ExpectedRuns len03(8589934592.0 * 0.125);
  EXPECT_EQ(len03.of_length[1], 1073741824.0);
  EXPECT_EQ(len03.of_length[30], 2.0);
  EXPECT_EQ(len03.of_length[63], 1.0 / 4294967296.0);
  const ExpectedRuns lenser_default(536870912.0 * 16);
  EXPECT_EQ(lenser_default.of_length[1], 8589934592.0);
  const ExpectedRuns lenser_one_pass(536870912.0 * 1);
  EXPECT_EQ(lenser_one_pass.of_length[2], 268435456.0);
}

// Counts equal to E(L) for lengths 1 to 30, except 32768 more runs of 0 of
// length 1 (adding 32768^2 / 2^30 = 1) and 4 runs of 1 of length 30 (adding
// (4 - 2)^2 / 2 = 2); long runs beyond length 30 do not count.
RunTables near_ideal_tables() {
  RunTables tables = {};
  for (int length = 1; length <= 30; ++length) {
    const uint64_t e = uint64_t{1} << (31 - length);
    tables.zero_runs.slot[length].add(e);
    tables.one_runs.slot[length].add(e);
  }
  tables.zero_runs.slot[1].add(32768);
  tables.one_runs.slot[30].add(2);
  tables.zero_runs.slot[31].add(1000);
  tables.one_runs.slot[63].add(7);
  return tables;
}

std::vector<std::string> lines_of(const RunText& text) {
  std::vector<std::string> lines;
  std::istringstream in(std::string(text.data(), text.size()));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(RunStatistics, ChiSquareSumsOverLengthsOneToThirty) {
  const ChiSums sums = chi_square_sums(near_ideal_tables(), ExpectedRuns(1073741824.0));
  EXPECT_DOUBLE_EQ(sums.zero_runs, 1.0);
  EXPECT_DOUBLE_EQ(sums.one_runs, 2.0);
  EXPECT_DOUBLE_EQ(sums.total(), 3.0);
}

TEST(RunResultText, BothTestsLineByLine) {
  const RunTables tables = near_ideal_tables();
  const ExpectedRuns expected(1073741824.0);
  TrialText len03, lenser;
  format_trial<LenTest03>(len03, tables, expected, 17, 12.3456);
  format_trial<LenTestSer>(lenser, tables, expected, 17, 12.3456);

  // Standard output is the same for both: 30 lines, sums, seconds.
  EXPECT_EQ(std::string(len03.out.data(), len03.out.size()),
            std::string(lenser.out.data(), lenser.out.size()));
  const std::vector<std::string> out = lines_of(len03.out);
  ASSERT_EQ(out.size(), 32u);
  EXPECT_EQ(out[0], "1\t  1073741824.000\t      1073774592\t      1073741824");
  EXPECT_EQ(out[29], "30\t           2.000\t               2\t               4");
  EXPECT_EQ(out[30], "KaiSq(1to30)= 1.000, 2.000, 3.000");
  EXPECT_EQ(out[31], "12.346 sec");

  // Result files: 63 lines, LenTestSer's lCount, then the labelled sums.
  const std::vector<std::string> file03 = lines_of(len03.result);
  const std::vector<std::string> fileser = lines_of(lenser.result);
  ASSERT_EQ(file03.size(), 64u);
  ASSERT_EQ(fileser.size(), 65u);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(file03[i], out[i]);
  for (int i = 0; i < 63; ++i) EXPECT_EQ(fileser[i], file03[i]);
  EXPECT_EQ(file03[30], "31\t           1.000\t            1000\t               0");
  EXPECT_EQ(file03[31], "32\t           0.500\t               0\t               0");
  EXPECT_EQ(file03[40], "41\t           0.001\t               0\t               0");
  EXPECT_EQ(file03[41], "42\t           0.000\t               0\t               0");
  EXPECT_EQ(file03[62], "63\t           0.000\t               0\t               7");
  EXPECT_EQ(file03[63], "KaiSq(1to30)= 0:1.000, 1:2.000, Sum:3.000");
  EXPECT_EQ(fileser[63], "lCount= 17");
  EXPECT_EQ(fileser[64], file03[63]);

  EXPECT_EQ(std::string(len03.time.data(), len03.time.size()), "12.346 sec\n");
  EXPECT_EQ(std::string(lenser.time.data(), lenser.time.size()), "12.346\tsec\n");
}

// The all-trials file: written here by hand, compared byte for byte.
std::string expected_all_trials(const std::vector<RunTables>& history) {
  std::string text;
  char field[32];
  for (size_t t = 1; t <= history.size(); ++t) text += std::to_string(t) + "\t";
  text += "\n";
  for (int bit = 0; bit <= 1; ++bit) {
    text += bit == 0 ? "Len of 0\n" : "\nLen of 1\n";
    for (int length = 1; length <= 63; ++length) {
      for (const RunTables& trial : history) {
        const RunTable& table = bit == 0 ? trial.zero_runs : trial.one_runs;
        std::snprintf(field, sizeof field, "%16.0f\t", table.slot[length].value());
        text += field;
      }
      text += "\n";
    }
  }
  return text;
}

TEST(RunResultText, AllTrialsFileForOneAndForManyTrials) {
  for (int trials : {1, 3, 256}) {
    SCOPED_TRACE(trials);
    std::vector<RunTables> history(trials);
    for (int t = 0; t < trials; ++t)
      for (int slot = 1; slot < RUN_SLOTS; ++slot) {
        // Wide counts, so that 256 trials make rows of several kilobytes.
        history[t].zero_runs.slot[slot] = {uint32_t(t * 1000 + slot), uint32_t(t * 40000)};
        history[t].one_runs.slot[slot] = {uint32_t(slot), uint32_t(t)};
      }
    char path[] = "/tmp/run-length-all-XXXXXX";
    close(mkstemp(path));
    const auto contents = [&] {
      std::ifstream in(path, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    write_all_trials(path, history.data(), trials);
    const std::string expected = expected_all_trials(history);
    EXPECT_EQ(contents(), expected);
    // A second run appends a second header and table pair.
    write_all_trials(path, history.data(), trials);
    EXPECT_EQ(contents(), expected + expected);
    unlink(path);
  }
}

}  // namespace
