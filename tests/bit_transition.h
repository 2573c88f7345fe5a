// Bit-transition test: does a strongly unbalanced stretch of bits predict the
// next bit? Outputs are read in disjoint groups of 101, bit 0 only. When at
// least `ratio` of a group's first 100 bits are ones (or at least `ratio` are
// zeros), its 101st bit is counted as a transition 1-1 / 1-0 (or 0-0 / 0-1).
// For an ideal generator the four counts share the expectation
// T(ratio) * n / 2, with T(k) the chance of at least k ones in 100 fair bits.
//
// A trial is `passes` passes of 2^24 groups; the run is `trials` trials, each
// printed on the console and appended to outData.txt, which all families
// share.
#pragma once
#include <array>
#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "harness/args.h"
#include "harness/clock.h"
#include "harness/output.h"
#include "harness/reseed.h"

inline constexpr int PAIR_COUNTED_BITS = 100;  // bits per group before the next bit
inline constexpr uint32_t PAIR_GROUPS_PER_PASS = 1u << 24;
inline constexpr int32_t PAIR_TALLY_CARRY = 100000000;
inline constexpr const char* PAIR_RESULT_FILE = "outData.txt";
inline constexpr const char* PAIR_SEPARATOR = "-----------------------\n";

// ---------------------------------------------------------------------------
// Run parameters

struct PairParams {
  int shift = 0;      // printed only: every build reads bit 0
  int ratio = 75;     // equal bits among the 100 that make a group count
  int passes = 1;     // "Loop": passes of 2^24 groups per trial
  int trials = 1000;  // "iiLoop"
};

// program [shift [ratio [Loop [iiLoop]]]]: absent arguments keep their
// defaults, out-of-range ones are clamped silently; more are ignored.
inline PairParams parse_pair_params(int argc, char** argv) {
  PairParams p;
  if (argc > 1) p.shift = parse_int(argv[1]);
  if (argc > 2) p.ratio = parse_int(argv[2]);
  if (argc > 3) p.passes = parse_int(argv[3]);
  if (argc > 4) p.trials = parse_int(argv[4]);
  if (p.shift < 0) p.shift = 0;
  if (p.shift > 31) p.shift = 31;
  if (p.ratio <= 50) p.ratio = 51;
  if (p.ratio >= 100) p.ratio = 99;
  if (p.passes <= 0) p.passes = 1;
  if (p.trials <= 0) p.trials = 1;
  return p;
}

using PairParamLine = TextBuffer<96>;

inline void format_pair_params(PairParamLine& line, const PairParams& p) {
  line.add("shift= %d\tratio= %d\tLoop= %d\tiiLoop= %d\t\n", p.shift, p.ratio, p.passes, p.trials);
}

// ---------------------------------------------------------------------------
// Tail probabilities

// T(k) for k = 51..100, zero elsewhere; indexed by ratio. Each term
// C(100, j) / 2^100 is rounded to a double (C(100, j) fits in 128 bits, and
// halving is exact) and the terms are added from j = 100 down to k, the order
// that gives the values the test has always printed; the exactly rounded sum
// differs from it in the last digit for some k.
consteval std::array<double, 128> make_tail_probability() {
  std::array<double, 128> table{};
  unsigned __int128 binomial = 1;  // C(100, 100)
  double sum = 0;
  for (int j = PAIR_COUNTED_BITS; j > PAIR_COUNTED_BITS / 2; --j) {
    double term = static_cast<double>(binomial);
    for (int i = 0; i < PAIR_COUNTED_BITS; ++i) term *= 0.5;
    sum += term;
    table[j] = sum;
    binomial = binomial * static_cast<unsigned>(j) / static_cast<unsigned>(PAIR_COUNTED_BITS + 1 - j);
  }
  return table;
}

inline constexpr std::array<double, 128> tail_probability = make_tail_probability();

// ---------------------------------------------------------------------------
// Counting

// Transition counts, [from][next]: from 1 when the ones were in the majority,
// 0 when the zeros were; next is the group's 101st bit. 64 bits wide: with
// ratio 51 a 32-bit count overflows from about 557 passes on.
struct TransitionCounts {
  int64_t count[2][2] = {{0, 0}, {0, 0}};
  int64_t zero_zero() const { return count[0][0]; }
  int64_t zero_one() const { return count[0][1]; }
  int64_t one_one() const { return count[1][1]; }
  int64_t one_zero() const { return count[1][0]; }
};

// The hot loop: `groups` groups of 101 draws. Bit 0 of 100 draws is summed
// (no table, no division); the one branch per group is on the sum.
template <class Cursor>
void bit_transition_count(Cursor& draw, TransitionCounts& counts, int ratio,
                          uint32_t groups = PAIR_GROUPS_PER_PASS) {
  // Locals, so that no store in the loop can be taken to alias the cursor.
  int64_t c00 = 0, c01 = 0, c11 = 0, c10 = 0;
  const uint32_t most_ones = static_cast<uint32_t>(ratio);
  const uint32_t fewest_ones = static_cast<uint32_t>(PAIR_COUNTED_BITS - ratio);  // zeros >= ratio
  for (uint32_t g = 0; g < groups; ++g) {
    uint32_t ones = 0;
    for (int i = 0; i < PAIR_COUNTED_BITS; ++i) ones += draw.next32() & 1;
    const uint32_t next = draw.next32() & 1;
    if (ones >= most_ones) {
      c11 += next;
      c10 += next ^ 1;
    } else if (ones <= fewest_ones) {
      c01 += next;
      c00 += next ^ 1;
    }
  }
  counts.count[0][0] += c00;
  counts.count[0][1] += c01;
  counts.count[1][1] += c11;
  counts.count[1][0] += c10;
}

// Groups examined, as a count of hundred-millions and a remainder below
// 100,000,000, so that it never overflows.
struct GroupTally {
  int32_t hundred_millions = 0;
  int32_t remainder = 0;

  void add_pass(int32_t groups = PAIR_GROUPS_PER_PASS) {
    remainder += groups;
    while (remainder >= PAIR_TALLY_CARRY) {
      remainder -= PAIR_TALLY_CARRY;
      ++hundred_millions;
    }
  }
  double total() const { return hundred_millions * 100000000.0 + remainder; }
};

// ---------------------------------------------------------------------------
// Statistics and result text

struct PairResult {
  double n;
  double ideal;  // expectation of each count
  double ave;    // mean of the four counts
  double chi_sq;
};

inline PairResult pair_result(const TransitionCounts& c, const GroupTally& tally, int ratio) {
  PairResult r;
  r.n = tally.total();
  r.ideal = tail_probability[ratio] * 0.5 * r.n;
  r.ave = static_cast<double>(c.zero_zero() + c.zero_one() + c.one_one() + c.one_zero()) * 0.25;
  const double d00 = static_cast<double>(c.zero_zero()) - r.ideal;
  const double d01 = static_cast<double>(c.zero_one()) - r.ideal;
  const double d11 = static_cast<double>(c.one_one()) - r.ideal;
  const double d10 = static_cast<double>(c.one_zero()) - r.ideal;
  r.chi_sq = (d00 * d00 + d01 * d01 + d11 * d11 + d10 * d10) / r.ideal;
  return r;
}

using PairText = TextBuffer<512>;

inline void format_pair_console(PairText& text, const TransitionCounts& c, const PairResult& r,
                                double seconds) {
  text.add("n= %.0f\n", r.n);
  text.add("Ideal= %.2f\n", r.ideal);
  text.add("Ave=   %.2f\n", r.ave);
  text.add("0: 0-0= %" PRId64 "\t0-1= %" PRId64 "\n", c.zero_zero(), c.zero_one());
  text.add("1: 1-1= %" PRId64 "\t1-0= %" PRId64 "\n", c.one_one(), c.one_zero());
  text.add(" %.3f  sec\tChiSQ= %.2f\n", seconds, r.chi_sq);
}

// The trial's text for the file: the run's separator first when asked, then
// the trial's line. The fourth label has no equals sign, as always.
inline void format_pair_file(PairText& text, bool with_separator, const TransitionCounts& c,
                             const PairResult& r, double seconds) {
  if (with_separator) text.add("%s", PAIR_SEPARATOR);
  text.add("Ave=   %.2f\t", r.ave);
  text.add("0-0=\t%" PRId64 "\t0-1=\t%" PRId64 "\t1-1=\t%" PRId64 "\t1-0\t%" PRId64 "\t",
           c.zero_zero(), c.zero_one(), c.one_one(), c.one_zero());
  text.add(" %.3f  sec\tChiSQ= %.2f\n", seconds, r.chi_sq);
}

// ---------------------------------------------------------------------------
// The whole program

// Every family appends to the one outData.txt, so `tag` names nothing here; it
// keeps the shape shared by the tests' run functions.
template <class F>
int bit_transition_run(int argc, char** argv, [[maybe_unused]] const char* tag = F::tag,
                       uint32_t groups_per_pass = PAIR_GROUPS_PER_PASS) {
  require_processor<F>(argv[0]);
  const PairParams params = parse_pair_params(argc, argv);
  PairParamLine param_line;
  format_pair_params(param_line, params);
  print_now(param_line);

  // Cleared once the separator is in the file: a run whose first append fails
  // still marks its start before its first line that gets there.
  bool separator_pending = true;
  for (int trial = 0; trial < params.trials; ++trial) {
    reseed<F>();
    reseed<F>();
    print_seed_line(run_state.seeds);

    const double start = start_tick();
    TransitionCounts counts;
    GroupTally tally;
    {
      // The state lives in the cursor for the trial and is written back at its end.
      typename F::Cursor draw;
      for (int pass = 0; pass < params.passes; ++pass) {
        bit_transition_count(draw, counts, params.ratio, groups_per_pass);
        tally.add_pass(static_cast<int32_t>(groups_per_pass));
      }
    }
    const double seconds = elapsed_seconds(start);

    const PairResult result = pair_result(counts, tally, params.ratio);
    PairText text;
    format_pair_console(text, counts, result, seconds);
    print_now(text);
    text.clear();
    format_pair_file(text, separator_pending, counts, result, seconds);
    // One write to a file opened for appending: programs sharing the file
    // never interleave inside a trial's text.
    if (append_to_file(PAIR_RESULT_FILE, text)) separator_pending = false;
  }
  return 0;
}
