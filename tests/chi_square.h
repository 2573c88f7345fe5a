// Chi-square tests over 256 bins of 8-bit values built from 4-bit pieces of
// the outputs. A trial counts 256,000,000 values against the uniform
// expectation of 1,000,000 per bin; a run is 1000 trials.
#pragma once
#include <cstdint>
#include <cstdio>

#include "harness/clock.h"
#include "harness/output.h"
#include "harness/reseed.h"

// The three variants differ only in which bits form the value.
struct ChiTest6 {
  static constexpr const char* name = "ChiTest6";
  static constexpr int draws = 2;
  static uint32_t bin_index(uint32_t a, uint32_t b) { return (a >> 28) * 16 + (b >> 28); }
};
struct ChiTest7 {
  static constexpr const char* name = "ChiTest7";
  static constexpr int draws = 2;
  static uint32_t bin_index(uint32_t a, uint32_t b) { return (a & 15) * 16 + (b & 15); }
};
struct ChiTest8 {
  static constexpr const char* name = "ChiTest8";
  static constexpr int draws = 1;
  static uint32_t bin_index(uint32_t a) { return (a >> 28) * 16 + (a & 15); }
};

inline constexpr uint32_t CHI_VALUES_PER_TRIAL = 256000000;
inline constexpr uint32_t CHI_EXPECTED_PER_BIN = CHI_VALUES_PER_TRIAL / 256;
inline constexpr int CHI_TRIALS = 1000;

using ChiBins = uint32_t[256];

// The hot loop: `values` values, each from Test::draws consecutive draws.
template <class Test, class Cursor>
void chi_square_count(Cursor& draw, ChiBins& bins, uint32_t values) {
  for (uint32_t i = 0; i < values; ++i) {
    if constexpr (Test::draws == 2) {
      const uint32_t a = draw.next32();
      const uint32_t b = draw.next32();
      ++bins[Test::bin_index(a, b)];
    } else {
      ++bins[Test::bin_index(draw.next32())];
    }
  }
}

// S = sum of (count - expected)^2, exact: every term is an integer and the sum
// of a trial's squares stays below 2^64.
inline uint64_t chi_square_sum(const ChiBins& bins, uint32_t expected) {
  uint64_t sum = 0;
  for (uint32_t count : bins) {
    const int64_t d = int64_t{count} - expected;
    sum += static_cast<uint64_t>(d * d);
  }
  return sum;
}

// ChiSq of a full trial's bins: S over the expected 1,000,000 per bin.
inline double chi_square_statistic(const ChiBins& bins) {
  return static_cast<double>(chi_square_sum(bins, CHI_EXPECTED_PER_BIN)) * 0.000001;
}

using ChiLine = TextBuffer<128>;

inline void format_chi_line(ChiLine& line, int k, double chi_sq, const SeedRecord& seeds,
                            double seconds) {
  line.add(" k= %5d ChiSq= %f\t", k, chi_sq);
  line.add("\t%x,%x,%x,%x\t", seeds.word[0], seeds.word[1], seeds.word[2], seeds.word[3]);
  line.add(" %.3f sec\n", seconds);
}

// The whole program: reseed, then `trials` trials, each printed and appended
// to "<Test>-<tag>.txt". The seconds printed are cumulative from the start.
template <class Test, class F>
int chi_square_run(int /*argc*/, char** argv, const char* tag = F::tag,
                   int trials = CHI_TRIALS) {
  require_processor<F>(argv[0]);
  char path[96];
  std::snprintf(path, sizeof path, "%s-%s.txt", Test::name, tag);
  reseed<F>();
  const double start = start_tick();
  for (int k = 0; k < trials; ++k) {
    reseed<F>();
    ChiBins bins = {};
    {
      typename F::Cursor draw;
      chi_square_count<Test>(draw, bins, CHI_VALUES_PER_TRIAL);
    }
    const double chi_sq = chi_square_statistic(bins);
    const double seconds = elapsed_seconds(start);
    ChiLine line;
    format_chi_line(line, k, chi_sq, run_state.seeds, seconds);
    print_and_append(line, path);
  }
  return 0;
}
