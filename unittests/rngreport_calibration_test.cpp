// Calibration of the report's reference distributions with the real test
// kernels at reduced sizes: on good generators the trial p-values must be
// uniform (a Kolmogorov-Smirnov test that passes, verdict normal); on
// known-bad generators the report must grade FAIL.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "generators/xorshift128.h"
#include "tests/bit_transition.h"
#include "tests/chi_square.h"
#include "tests/lag.h"
#include "tests/run_length.h"
#include "tools/report/parse.h"
#include "tools/report/reference.h"
#include "tools/report/summary.h"

namespace {

using rngreport::Report;
using rngreport::Summary;
using rngreport::Verdict;

// A 32-bit LCG (Numerical Recipes constants): bit k of its output has period
// 2^(k+1), so the low nibble repeats every 16 draws and bit 0 alternates.
struct Lcg32 {
  static constexpr const char* tag = "lcg";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_value;
  static inline uint32_t x = 1;
  static void seed(uint32_t k0, uint32_t k1) { x = k0 ^ k1; }
  static uint32_t next32() { return x = x * 1664525u + 1013904223u; }
  struct Cursor {
    uint32_t v = x;
    ~Cursor() { x = v; }
    uint32_t next32() { return v = v * 1664525u + 1013904223u; }
  };
};

// xorshift128 with bit 0 stuck at 1.
struct StuckBit {
  static constexpr const char* tag = "stuck";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_value;
  static void seed(uint32_t k0, uint32_t k1) { Xor128::seed(k0, k1); }
  static uint32_t next32() { return Xor128::next32() | 1; }
  struct Cursor {
    Xor128::Cursor draw;
    uint32_t next32() { return draw.next32() | 1; }
  };
};

template <class F>
void seed_family() {
  if constexpr (F::protocol == SeedProtocol::four_words) {
    const uint32_t key[4] = {0x1234, 0x5678, 0x9abc, 0xdef0};
    F::seed(key);
  } else {
    uint32_t k0 = 0x2545f491u, k1 = 0x9e3779b9u;  // by reference for Rb5u
    F::seed(k0, k1);
  }
}

Summary summarize_text(const std::string& name, const std::string& text) {
  Report report;
  rngreport::read_result_text(name, text, true, report);
  EXPECT_TRUE(report.diagnostics.empty()) << report.diagnostics[0].message;
  EXPECT_EQ(report.sets.size(), 1u);
  return report.sets.empty() ? Summary{} : rngreport::summarize(report.sets[0].trials);
}

// Good generators: p-values uniform, verdict normal. Bad ones: FAIL.
void expect_good(const Summary& s, const char* what, int trials) {
  EXPECT_EQ(s.trials, trials) << what;
  EXPECT_GT(s.ks_p, 0.001) << what << " KS D " << s.ks_d;
  EXPECT_EQ(s.verdict, Verdict::normal) << what << " q " << s.q;
}
void expect_fail(const Summary& s, const char* what) {
  EXPECT_GT(s.trials, 0) << what;
  EXPECT_EQ(s.verdict, Verdict::fail) << what << " q " << s.q;
}

// ---- Chi-square: 25,600 values a trial (100 per bin) -------------------------

template <class Test, class F>
Summary chi_square_report(int trials, uint32_t values = 25600) {
  seed_family<F>();
  const uint32_t expected = values / 256;
  std::string text;
  for (int k = 0; k < trials; ++k) {
    ChiBins bins = {};
    {
      typename F::Cursor draw;
      chi_square_count<Test>(draw, bins, values);
    }
    const double chi = static_cast<double>(chi_square_sum(bins, expected)) / expected;
    ChiLine line;
    format_chi_line(line, k, chi, SeedRecord{}, 0.0);
    text.append(line.data(), line.size());
  }
  return summarize_text(std::string(Test::name) + "-" + F::tag + ".txt", text);
}

TEST(ReportCalibration, ChiSquare) {
  expect_good(chi_square_report<ChiTest6, Xor128>(300), "ChiTest6 xor", 300);
  expect_good(chi_square_report<ChiTest7, Xor128>(300), "ChiTest7 xor", 300);
  expect_good(chi_square_report<ChiTest8, Xor128>(300), "ChiTest8 xor", 300);
  expect_good(chi_square_report<ChiTest7, Mt>(300), "ChiTest7 mt", 300);
  expect_good(chi_square_report<ChiTest7, Rb5u>(300), "ChiTest7 Rb5u", 300);
  expect_fail(chi_square_report<ChiTest7, Lcg32>(20), "ChiTest7 lcg");
  expect_fail(chi_square_report<ChiTest7, StuckBit>(20), "ChiTest7 stuck bit");
  expect_fail(chi_square_report<ChiTest8, StuckBit>(20), "ChiTest8 stuck bit");
}

// ---- Run-length tests: 2^21 comparisons a trial ------------------------------

template <class F>
Summary len03_report(int trials, int bit, uint32_t draws = 1u << 21) {
  seed_family<F>();
  const ExpectedRuns expected(draws * 0.125);
  std::string text;
  for (int t = 0; t < trials; ++t) {
    RunTables tables = {};
    const int64_t open_run = len03_count<F>(tables, bit, 1, draws);
    TrialText trial;
    format_trial<LenTest03>(trial, tables, expected, open_run, 0.0);
    text.append(trial.result.data(), trial.result.size());
  }
  return summarize_text(std::string("LenTest03-") + F::tag + ".txt", text);
}

template <class F>
Summary lenser_report(int trials, uint32_t words = 1u << 16) {
  seed_family<F>();
  const ExpectedRuns expected(words * 32.0 * 0.125);
  std::string text;
  for (int t = 0; t < trials; ++t) {
    RunTables tables = {};
    const int64_t open_run = lenser_count<F>(tables, 1, words);
    TrialText trial;
    format_trial<LenTestSer>(trial, tables, expected, open_run, 0.0);
    text.append(trial.result.data(), trial.result.size());
  }
  return summarize_text(std::string("LenTestSer-") + F::tag + ".txt", text);
}

TEST(ReportCalibration, LenTest03) {
  expect_good(len03_report<Xor128>(40, 0), "LenTest03 xor bit 0", 40);
  expect_good(len03_report<Mt>(40, 31), "LenTest03 mt bit 31", 40);
  expect_good(len03_report<Rb5u>(40, 0), "LenTest03 Rb5u bit 0", 40);
  expect_fail(len03_report<Lcg32>(5, 0), "LenTest03 lcg bit 0");
  expect_fail(len03_report<StuckBit>(5, 0), "LenTest03 stuck bit");
}

TEST(ReportCalibration, LenTestSer) {
  expect_good(lenser_report<Xor128>(100), "LenTestSer xor", 100);
  expect_good(lenser_report<Mt>(100), "LenTestSer mt", 100);
  expect_good(lenser_report<Rb5u>(100), "LenTestSer Rb5u", 100);
  // The LCG's serial stream mixes its periodic low bits with good high bits;
  // at 2^21 bits a trial it is graded normal or unusual, so it is no control
  // here (LenTest03 above sees its bit 0 at once).
  expect_fail(lenser_report<StuckBit>(20), "LenTestSer stuck bit");
}

// ---- Bit-transition test: 2^14 groups a trial at ratio 55 --------------------
// The file line does not say how many groups a trial had (it is inferred from
// whole passes of 2^24 groups), so the reduced trials go to the p-value
// function directly.

template <class F>
Summary pair_report(int trials, int ratio = 55, uint32_t groups = 1u << 14) {
  seed_family<F>();
  std::vector<rngreport::Trial> results;
  for (int t = 0; t < trials; ++t) {
    TransitionCounts c;
    {
      typename F::Cursor draw;
      bit_transition_count(draw, c, ratio, groups);
    }
    const int64_t counts[4] = {c.zero_zero(), c.zero_one(), c.one_one(), c.one_zero()};
    const rngreport::TrialValue v = rngreport::pair_trial(counts, groups, ratio, 0x1000u + t);
    results.push_back({v.statistic, v.p, t + 1});
  }
  return rngreport::summarize(results);
}

TEST(ReportCalibration, BitTransition) {
  expect_good(pair_report<Xor128>(100), "pair xor", 100);
  expect_good(pair_report<Mt>(100), "pair mt", 100);
  expect_fail(pair_report<Lcg32>(5), "pair lcg");
  expect_fail(pair_report<StuckBit>(5), "pair stuck bit");
}

// Rb5u from this seed has a stretch from about draw 34,340,000 on where bit 0
// is 1 in only about 48.2% of at least 2^18 outputs (z = -19 over 2^18
// draws); trial 20 of the run above falls into it, with 3463 groups mostly of
// zeros against 2752 mostly of ones. The report grades the run FAIL. Other
// seeds show such stretches too (z = -7.7 within 2^28 draws of seed 1, 2).
// Whether the generator or its build is at fault is not this test's
// question; it shows that the report finds it.
TEST(ReportCalibration, BitTransitionFindsRb5uBitZeroStretch) {
  const Summary s = pair_report<Rb5u>(100);
  EXPECT_EQ(s.verdict, Verdict::fail) << s.q;
  EXPECT_LT(s.min_p, 1e-15);
}

// ---- Lag test: 60 batches of 4 expected pairs per cell -----------------------
// The programs' statistic divides by the full-size expectation of 10,000, so
// the batch statistic is formed here from the kernel's square sum and the
// reduced expectation, and its tails counted at the programs' thresholds.

template <class F>
Summary lag_report(int trials, int batches = 60, uint32_t per_cell = 4) {
  seed_family<F>();
  static LagPairCounts counts;
  std::vector<rngreport::Trial> results;
  for (int t = 0; t < trials; ++t) {
    int tails[rngreport::LAG_BANDS] = {};
    lag_trial<F>(counts, batches, per_cell, [&](int, int, uint64_t square_sum) {
      const double x = static_cast<double>(square_sum) / per_cell;
      for (int i = 0; i < rngreport::LAG_BANDS; ++i) tails[i] += x > rngreport::LAG_THRESHOLD[i];
    });
    const rngreport::TrialValue v = rngreport::lag_trial(tails, batches, 0x2000u + t);
    results.push_back({v.statistic, v.p, t + 1});
  }
  return rngreport::summarize(results);
}

TEST(ReportCalibration, Lag) {
  expect_good(lag_report<Xor128>(40), "lag xor", 40);
  expect_good(lag_report<Mt>(40), "lag mt", 40);
  expect_good(lag_report<Rb5u>(40), "lag Rb5u", 40);
  expect_fail(lag_report<Lcg32>(5, 20), "lag lcg");
  expect_fail(lag_report<StuckBit>(5, 20), "lag stuck bit");
}

}  // namespace
