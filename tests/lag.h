// Lag test: is an output independent of the output `lag` draws earlier?
//
// A batch counts pairs (older, newer) of the low 7 bits of the outputs in a
// 128 x 128 table over 163,840,000 draws (10,000 expected per cell) at one lag,
// and forms a chi-square statistic with 16383 degrees of freedom. A trial is
// 1024 batches at lags 1, 2, ..., 15, 1, ...; it counts how many statistics
// fall in five upper tails and prints the observed-to-expected ratios, the
// time, an OK/NG verdict and a deviation figure. Nothing is written to a file
// and the seed words are not printed.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "harness/args.h"
#include "harness/clock.h"
#include "harness/output.h"
#include "harness/reseed.h"

inline constexpr int LAG_MAX = 15;
inline constexpr int LAG_WINDOW_SLOTS = 16;  // priming draws per batch, for every lag
inline constexpr uint32_t LAG_VALUE_MASK = 0x7f;
inline constexpr int LAG_VALUES = 128;
inline constexpr int LAG_CELLS = LAG_VALUES * LAG_VALUES;
inline constexpr uint32_t LAG_EXPECTED_PER_CELL = 10000;
inline constexpr int LAG_BATCHES_PER_TRIAL = 1024;
inline constexpr int LAG_DEFAULT_TRIALS = 10;
inline constexpr int LAG_MAX_TRIALS = 999;

// Row = older value, column = newer value.
using LagPairCounts = uint32_t[LAG_CELLS];

// The five nested upper tails of chi-square with 16383 degrees of freedom:
// expected fraction P, the threshold a statistic must exceed, and 1/P.
struct LagBand {
  double p;
  double threshold;
  double multiplier;
};
inline constexpr int LAG_BANDS = 5;
inline constexpr LagBand LAG_BAND[LAG_BANDS] = {
    {0.15, 16570.6544526712, 6.666666666666667},
    {0.125, 16591.4406538829, 8},
    {0.1, 16615.4025676278, 10},
    {0.075, 16644.2855547248, 13.333333333333334},
    {0.05, 16681.8739101661, 20},
};

// A ratio counts as close to 1 strictly between these bounds (1/1.05, 1.05).
inline constexpr double LAG_RATIO_LOW = 0.9523809523809523;
inline constexpr double LAG_RATIO_HIGH = 1.05;

// Lags 1..15 in turn, restarting at 1 with every trial.
inline int lag_of_batch(int batch) { return 1 + batch % LAG_MAX; }

// One batch: 16 priming draws, then 16384 * expected_per_cell counted draws,
// each paired with the value `lag` places earlier in the sequence
//   primed[1], ..., primed[lag], counted[1], counted[2], ...
// so the first `lag` counted draws pair with the values primed 15 draws before
// them. The sequence lives in a ring of 16 (value j at ring[j % 16]): a draw
// reads its partner and writes itself `lag` places ahead, which never reaches
// a value still to be read because lag < 16. This yields the pairs of a window
// shifted down by one slot per draw, without the shifting.
template <class F>
void lag_count_batch(int lag, LagPairCounts& counts,
                     uint32_t expected_per_cell = LAG_EXPECTED_PER_CELL) {
  typename F::Cursor draw;  // one cursor per batch: state written back at its end
  uint32_t ring[LAG_WINDOW_SLOTS];
  for (uint32_t& slot : ring) slot = draw.next32() & LAG_VALUE_MASK;
  std::memset(counts, 0, sizeof counts);
  const uint32_t counted = expected_per_cell * LAG_CELLS;
  const uint32_t ahead = static_cast<uint32_t>(lag);
  uint32_t index = 1;  // ring index of the partner of the next counted draw
  for (uint32_t n = 0; n < counted; ++n, ++index) {
    const uint32_t older = ring[index % LAG_WINDOW_SLOTS];
    const uint32_t newer = draw.next32() & LAG_VALUE_MASK;
    ring[(index + ahead) % LAG_WINDOW_SLOTS] = newer;
    ++counts[older * LAG_VALUES + newer];
  }
}

// S = sum of (count - expected)^2 over the cells, exact in 64 bits: a grossly
// non-uniform table gives S far above 2^31 (up to about 2.7e16 at full size).
inline uint64_t lag_square_sum(const LagPairCounts& counts,
                               uint32_t expected_per_cell = LAG_EXPECTED_PER_CELL) {
  uint64_t sum = 0;
  for (uint32_t count : counts) {
    const int64_t d = int64_t{count} - expected_per_cell;
    sum += static_cast<uint64_t>(d * d);
  }
  return sum;
}

inline double lag_statistic(uint64_t square_sum) {
  return static_cast<double>(square_sum) * 0.0001;
}

struct LagTails {
  int32_t count[LAG_BANDS] = {};
};

// A statistic equal to a threshold is not in the tail.
inline void lag_count_tails(LagTails& tails, double statistic) {
  for (int i = 0; i < LAG_BANDS; ++i)
    if (statistic > LAG_BAND[i].threshold) ++tails.count[i];
}

struct LagNoObserver {
  void operator()(int /*batch*/, int /*lag*/, uint64_t /*square_sum*/) const {}
};

// The batches of one trial; on_batch(batch, lag, S) sees each one.
template <class F, class OnBatch = LagNoObserver>
LagTails lag_trial(LagPairCounts& counts, int batches = LAG_BATCHES_PER_TRIAL,
                   uint32_t expected_per_cell = LAG_EXPECTED_PER_CELL, OnBatch on_batch = {}) {
  LagTails tails;
  for (int batch = 0; batch < batches; ++batch) {
    const int lag = lag_of_batch(batch);
    lag_count_batch<F>(lag, counts, expected_per_cell);
    const uint64_t square_sum = lag_square_sum(counts, expected_per_cell);
    lag_count_tails(tails, lag_statistic(square_sum));
    on_batch(batch, lag, square_sum);
  }
  return tails;
}

// The value a reader of the "%f" text gets back.
inline double as_printed(double value) {
  char text[400];  // "%f" of any double fits
  std::snprintf(text, sizeof text, "%f", value);
  return std::strtod(text, nullptr);
}

// Ratios close to 1, judged on the printed values.
inline int lag_ratios_inside(const double (&ratio)[LAG_BANDS]) {
  int inside = 0;
  for (double r : ratio) {
    const double printed = as_printed(r);
    inside += LAG_RATIO_LOW < printed && printed < LAG_RATIO_HIGH;
  }
  return inside;
}

struct LagSummary {
  double fraction[LAG_BANDS];  // observed fraction of batches in each tail
  double ratio[LAG_BANDS];     // observed over expected; 1 is ideal
  int inside;                  // ratios strictly within (1/1.05, 1.05) as printed
  double deviation;            // root mean square of (f - P)^2 / P over the bands
};

inline LagSummary lag_summarize(const LagTails& tails, int batches = LAG_BATCHES_PER_TRIAL) {
  LagSummary s;
  const double per_batch = 1.0 / batches;
  double sum = 0;
  for (int i = 0; i < LAG_BANDS; ++i) {
    s.fraction[i] = tails.count[i] * per_batch;
    s.ratio[i] = s.fraction[i] * LAG_BAND[i].multiplier;
    const double d = s.fraction[i] - LAG_BAND[i].p;
    sum += d * d * LAG_BAND[i].multiplier;
  }
  s.inside = lag_ratios_inside(s.ratio);
  s.deviation = std::sqrt(0.2 * sum);
  return s;
}

using LagLine = TextBuffer<256>;

// The first part of a trial's line, printed before the clock is read.
inline void format_lag_ratios(LagLine& line, int batches, const LagSummary& s) {
  line.add("Loop=\t%7d\t%f\t%f\t%f\t%f\t%f\t", batches, s.ratio[0], s.ratio[1], s.ratio[2],
           s.ratio[3], s.ratio[4]);
}

inline void format_lag_verdict(LagLine& line, double seconds, const LagSummary& s) {
  line.add("time=\t%9.3f\tsec\t", seconds);
  line.add(s.inside > 2 ? "OK %d\t" : "NG %d\t", s.inside);
  line.add("%f\n", s.deviation);
}

// `program [trials]`: 1 to 999 trials, 10 for anything else.
inline int lag_trials_from_args(int argc, char** argv) {
  if (argc < 2) return LAG_DEFAULT_TRIALS;
  const int trials = parse_int(argv[1]);
  return trials >= 1 && trials <= LAG_MAX_TRIALS ? trials : LAG_DEFAULT_TRIALS;
}

// The whole program: the standard-error line with the name and the trial
// count, then one line per trial on standard output. The batches and the
// cell expectation are the program's constants outside of tests.
template <class F>
int lag_run(int argc, char** argv, [[maybe_unused]] const char* tag = F::tag,
            int batches = LAG_BATCHES_PER_TRIAL,
            uint32_t expected_per_cell = LAG_EXPECTED_PER_CELL) {
  const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "";
  require_processor<F>(program);
  const int trials = lag_trials_from_args(argc, argv);
  std::fprintf(stderr, "%s\t%d\n", program, trials);
  LagPairCounts counts;
  for (int trial = 0; trial < trials; ++trial) {
    reseed<F>();
    const double start = start_tick();
    const LagSummary summary = lag_summarize(lag_trial<F>(counts, batches, expected_per_cell),
                                             batches);
    LagLine line;
    format_lag_ratios(line, batches, summary);
    print_now(line);
    const double seconds = elapsed_seconds(start);
    line.clear();
    format_lag_verdict(line, seconds, summary);
    print_now(line);
  }
  return 0;
}
