#include "tests/lag.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "unittests/fixtures.h"

namespace {

LagPairCounts counts;
LagPairCounts reference_counts;

// The window as a straightforward reading of the pairing rule: before each
// counted draw move slots 1..lag one place down, store the new value in slot
// lag and pair it with slot 0.
template <class F>
void reference_batch(int lag, LagPairCounts& table, uint32_t expected_per_cell) {
  typename F::Cursor draw;
  uint32_t window[16];
  for (uint32_t& slot : window) slot = draw.next32() & 0x7f;
  std::memset(table, 0, sizeof table);
  for (uint32_t n = 0; n < expected_per_cell * 16384; ++n) {
    for (int slot = 0; slot < lag; ++slot) window[slot] = window[slot + 1];
    const uint32_t v = draw.next32() & 0x7f;
    window[lag] = v;
    ++table[window[0] * 128 + v];
  }
}

std::string result_text(const LagTails& tails) {
  const LagSummary summary = lag_summarize(tails);
  LagLine line;
  format_lag_ratios(line, 1024, summary);
  format_lag_verdict(line, 12.345, summary);
  return std::string(line.data(), line.size());
}

TEST(Lag, VerdictAndDeviationOfTailCounts) {
  struct Case {
    LagTails tails;
    const char* text;
  } cases[] = {
      {{{154, 128, 102, 77, 51}},
       "Loop=\t   1024\t1.002604\t1.000000\t0.996094\t1.002604\t0.996094\t"
       "time=\t   12.345\tsec\tOK 5\t0.000873\n"},
      {{{0, 0, 0, 0, 0}},
       "Loop=\t   1024\t0.000000\t0.000000\t0.000000\t0.000000\t0.000000\t"
       "time=\t   12.345\tsec\tNG 0\t0.316228\n"},
      {{{1024, 1024, 1024, 1024, 1024}},
       "Loop=\t   1024\t6.666667\t8.000000\t10.000000\t13.333333\t20.000000\t"
       "time=\t   12.345\tsec\tNG 0\t3.114482\n"},
      {{{200, 150, 102, 77, 51}},  // three inside
       "Loop=\t   1024\t1.302083\t1.171875\t0.996094\t1.002604\t0.996094\t"
       "time=\t   12.345\tsec\tOK 3\t0.058964\n"},
      {{{200, 150, 120, 77, 51}},  // two inside
       "Loop=\t   1024\t1.302083\t1.171875\t1.171875\t1.002604\t0.996094\t"
       "time=\t   12.345\tsec\tNG 2\t0.063775\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(result_text(c.tails), c.text);
}

TEST(Lag, RatiosAreJudgedAsPrinted) {
  struct Case {
    double ratio;
    int inside;
  } cases[] = {
      {0.9523809, 1},   // below 1/1.05, printed 0.952381 above it
      {0.9523804, 0},   // printed 0.952380
      {1.0499994, 1},   // printed 1.049999
      {1.0499996, 0},   // below 1.05, printed 1.050000: not strictly below
      {1.0, 1},
  };
  for (const Case& c : cases) {
    const double ratios[5] = {c.ratio, 0, 0, 0, 0};
    EXPECT_EQ(lag_ratios_inside(ratios), c.inside) << c.ratio;
  }
}

TEST(Lag, TailsCountOnlyStatisticsAboveTheThreshold) {
  struct Case {
    double statistic;
    LagTails expected;
  } cases[] = {
      {0.0, {{0, 0, 0, 0, 0}}},
      {16570.6544526712, {{0, 0, 0, 0, 0}}},
      {std::nextafter(16570.6544526712, 1e9), {{1, 0, 0, 0, 0}}},
      {16615.4025676278, {{1, 1, 0, 0, 0}}},
      {std::nextafter(16615.4025676278, 1e9), {{1, 1, 1, 0, 0}}},
      {16681.8739101661, {{1, 1, 1, 1, 0}}},
      {std::nextafter(16681.8739101661, 1e9), {{1, 1, 1, 1, 1}}},
  };
  for (const Case& c : cases) {
    LagTails tails;
    lag_count_tails(tails, c.statistic);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tails.count[i], c.expected.count[i]) << c.statistic;
  }
}

TEST(Lag, BatchesRunLagsOneToFifteenAndEachTrialRestartsAtOne) {
  CounterFamily::seed(0, 0);
  for (int trial = 0; trial < 2; ++trial) {
    std::vector<int> lags;
    lag_trial<CounterFamily>(counts, 1024, 1,
                             [&](int batch, int lag, uint64_t) {
                               EXPECT_EQ(batch, static_cast<int>(lags.size()));
                               lags.push_back(lag);
                             });
    ASSERT_EQ(lags.size(), 1024u);
    EXPECT_EQ(lags[0], 1);
    EXPECT_EQ(lags[14], 15);
    EXPECT_EQ(lags[15], 1);
    EXPECT_EQ(lags[1023], 4);
    int per_lag[16] = {};
    for (int lag : lags) ++per_lag[lag];
    for (int lag = 1; lag <= 15; ++lag) EXPECT_EQ(per_lag[lag], lag <= 4 ? 69 : 68) << lag;
    // No reseeding between batches: the stream continues.
    EXPECT_EQ(CounterFamily::next, (trial + 1) * 1024u * (16 + 16384));
  }
}

// The first `lag` counted draws pair with the values primed 15 draws earlier;
// then every pair is `lag` draws apart. A counter makes each pair visible.
TEST(Lag, PairsMatchTheShiftingWindowExactly) {
  for (int lag = 1; lag <= 15; ++lag) {
    SCOPED_TRACE(lag);
    CounterFamily::seed(0, 0);
    lag_count_batch<CounterFamily>(lag, counts, 1);
    EXPECT_EQ(CounterFamily::next, 16u + 16384);
    CounterFamily::seed(0, 0);
    reference_batch<CounterFamily>(lag, reference_counts, 1);
    ASSERT_EQ(std::memcmp(counts, reference_counts, sizeof counts), 0);
    if (lag < 15) {
      // Draws 0..15 primed 0..15; counted draw k (k = 1..lag) is 15 + k and
      // pairs with k; no later pair is 15 apart.
      uint32_t fifteen_apart = 0;
      for (uint32_t a = 0; a < 128; ++a) fifteen_apart += counts[a * 128 + (a + 15) % 128];
      EXPECT_EQ(fifteen_apart, static_cast<uint32_t>(lag));
      for (uint32_t k = 1; k <= static_cast<uint32_t>(lag); ++k)
        EXPECT_EQ(counts[k * 128 + 15 + k], 1u);
    }
    // Every other pair is `lag` apart: 16384 - lag of them.
    uint32_t lag_apart = 0;
    for (uint32_t a = 0; a < 128; ++a) lag_apart += counts[a * 128 + (a + lag) % 128];
    EXPECT_EQ(lag_apart, lag < 15 ? 16384u - lag : 16384u);
  }
}

template <class F>
void seed_with(uint32_t k0, uint32_t k1) {
  if constexpr (F::protocol == SeedProtocol::four_words) {
    const uint32_t key[4] = {k0, k1, 3, 4};
    F::seed(key);
  } else {
    F::seed(k0, k1);
  }
}

// The same on the generators' streams, across refills, with the state left
// behind: two batches in a row, as in a trial.
template <class F>
void expect_kernel_matches_reference() {
  for (int lag : {1, 2, 7, 15}) {
    SCOPED_TRACE(lag);
    seed_with<F>(1, 2);
    lag_count_batch<F>(lag, counts, 1);
    lag_count_batch<F>(lag, counts, 2);
    const uint32_t after_kernel = F::next32();
    seed_with<F>(1, 2);
    reference_batch<F>(lag, reference_counts, 1);
    reference_batch<F>(lag, reference_counts, 2);
    ASSERT_EQ(std::memcmp(counts, reference_counts, sizeof counts), 0);
    EXPECT_EQ(F::next32(), after_kernel);
  }
}

TEST(Lag, KernelMatchesTheShiftingWindowOnEachFamily) {
  expect_kernel_matches_reference<Xor128>();
  expect_kernel_matches_reference<SfmtSse2>();
  expect_kernel_matches_reference<Rb5u>();
  expect_kernel_matches_reference<Rb3w>();
}

// A stream whose pairs at lag L cover every cell exactly once: a cyclic
// sequence s in which every pair (s[j], s[j+1]) occurs once, laid out so that
// the partners of the pairing sequence are consecutive in s.
uint32_t uniform_stream[16 + 16384];
using UniformStream = TableFamily<uniform_stream, 16 + 16384>;

void fill_uniform_stream(uint32_t lag) {
  std::vector<uint32_t> s;  // all 128 x 128 pairs cyclically, once each
  for (uint32_t a = 0; a < 128; ++a) {
    s.push_back(a);
    for (uint32_t b = a + 1; b < 128; ++b) {
      s.push_back(a);
      s.push_back(b);
    }
  }
  ASSERT_EQ(s.size(), 16384u);
  uint32_t inverse = 1;  // of an odd lag modulo 16384
  while (inverse * lag % 16384 != 1) inverse += 2;
  // Pairing sequence a_1 = primed[1], ..., a_lag = primed[lag], then the
  // counted draws; pair k is (a_k, a_k+lag) = (s[j], s[j+1]) for j = k / lag
  // modulo 16384, and j runs over all of 0..16383.
  auto a = [&](uint32_t k) { return s[k * inverse % 16384]; };
  uniform_stream[0] = 0x55;  // never paired
  for (uint32_t slot = 1; slot < 16; ++slot) uniform_stream[slot] = slot <= lag ? a(slot) : 0x55;
  for (uint32_t k = 1; k <= 16384; ++k) uniform_stream[15 + k] = a(k + lag) | 0xabcd0000u;
  UniformStream::seed(0, 0);
}

TEST(Lag, UniformTableGivesZeroAndNoTail) {
  for (uint32_t lag : {1u, 3u, 15u}) {
    SCOPED_TRACE(lag);
    fill_uniform_stream(lag);
    lag_count_batch<UniformStream>(static_cast<int>(lag), counts, 1);
    for (uint32_t c : counts) ASSERT_EQ(c, 1u);
    EXPECT_EQ(lag_square_sum(counts, 1), 0u);
    LagTails tails;
    lag_count_tails(tails, lag_statistic(lag_square_sum(counts, 1)));
    for (int32_t t : tails.count) EXPECT_EQ(t, 0);
  }
}

// A constant word puts all 3 * 16384 pairs in one cell: S = 49149^2 + 16383 * 9
// = 2,415,771,648, above 2^31. A signed 32-bit sum would wrap to a negative
// value and count in no tail; the 64-bit sum counts in every one.
TEST(Lag, SquareSumAboveTwoToThe31IsExact) {
  lag_count_batch<ConstantFamily<0x12345681u>>(4, counts, 3);
  EXPECT_EQ(counts[1 * 128 + 1], 3u * 16384);
  const uint64_t s = lag_square_sum(counts, 3);
  EXPECT_EQ(s, 2415771648u);
  EXPECT_LT(static_cast<int32_t>(static_cast<uint32_t>(s)), 0);
  EXPECT_DOUBLE_EQ(lag_statistic(s), 241577.1648);
  LagTails tails;
  lag_count_tails(tails, lag_statistic(s));
  for (int32_t t : tails.count) EXPECT_EQ(t, 1);
}

TEST(Lag, TrialCountFromTheCommandLine) {
  struct Case {
    std::vector<const char*> args;
    int trials;
  } cases[] = {
      {{"lag"}, 10},         {{"lag", "1"}, 1},        {{"lag", "999"}, 999},
      {{"lag", "0"}, 10},    {{"lag", "-3"}, 10},      {{"lag", "1000"}, 10},
      {{"lag", "many"}, 10}, {{"lag", "12abc"}, 12},   {{"lag", "4294967297"}, 10},
      {{"lag", "5", "7"}, 5},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    EXPECT_EQ(lag_trials_from_args(static_cast<int>(c.args.size()), argv.data()), c.trials)
        << (c.args.size() > 1 ? c.args[1] : "(none)");
  }
}

// The run on reduced sizes: the standard-error line, then one line a trial. A
// constant word lands every batch in every tail.
TEST(Lag, RunPrintsTheCountLineAndOneLineATrial) {
  run_state = RunState();
  run_state.first_use = false;  // no wait for the seconds clock
  char name[] = "./lag-const";
  char count[] = "2";
  char* argv[] = {name, count, nullptr};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(lag_run<ConstantFamily<7>>(2, argv, "const", 15, 1), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "./lag-const\t2\n");
  const std::string loop =
      "Loop=\t     15\t6.666667\t8.000000\t10.000000\t13.333333\t20.000000\ttime=\t";
  const std::string verdict = "\tsec\tNG 0\t3.114482\n";
  ASSERT_EQ(out.size(), 2 * (loop.size() + 9 + verdict.size())) << out;
  for (size_t at : {size_t{0}, out.size() / 2}) {
    EXPECT_EQ(out.substr(at, loop.size()), loop);
    EXPECT_EQ(out.substr(at + loop.size() + 9, verdict.size()), verdict);
  }
}

}  // namespace
