// Run-length tests: runs of equal bits counted by length and compared with
// the counts of an ideal source.
//
// LenTest03 follows one bit position across 2^33 + 1 consecutive draws;
// LenTestSer follows the serial stream of all 32 bits of every word, bit 0
// first, runs crossing from one word into the next. Both record a finished
// run in a table by its bit value and its length (lengths of 63 and more
// share slot 63), never record the run still open at the end of a trial,
// print the counts of lengths 1 to 30 with two chi-square sums, append all 63
// lengths to result files and, after the last trial, write every trial's
// counts side by side to the all-trials file.
//
// The hot loops count without a branch per bit: they pack bits into a 64-bit
// word and walk its bit changes with count-trailing-zeros, into plain 64-bit
// counters that become the printed SplitCounts once per trial.
#pragma once
#include <bit>
#include <cstdint>
#include <cstdio>

#include "harness/args.h"
#include "harness/clock.h"
#include "harness/output.h"
#include "harness/reseed.h"

// A count held as two words split at 100,000,000: value = high * 10^8 + low.
struct SplitCount {
  static constexpr uint32_t SPLIT = 100000000;
  uint32_t low = 0;
  uint32_t high = 0;

  void increment() {
    if (++low > SPLIT - 1) {
      ++high;
      low = 0;
    }
  }
  // The same as n increments.
  void add(uint64_t n) {
    const uint64_t total = low + n;
    high += static_cast<uint32_t>(total / SPLIT);
    low = static_cast<uint32_t>(total % SPLIT);
  }
  double value() const { return high * double{SPLIT} + low; }
};

inline constexpr int RUN_SLOTS = 64;  // slot 0 unused, 63 holds lengths of 63 and more
inline constexpr int LONGEST_SLOT = 63;
inline constexpr int CHI_LENGTHS = 30;  // lengths 1 to 30 enter the chi-square sums

struct RunTable {
  SplitCount slot[RUN_SLOTS];
};

// A trial's two tables: runs of 0 bits and runs of 1 bits.
struct RunTables {
  RunTable zero_runs;
  RunTable one_runs;
};

// The hot loop's form of a trial's tables, fed with bits oldest first.
class RunCounter {
 public:
  // The trial's first bit opens a run of length 1.
  void start(uint32_t first_bit) {
    bit_ = first_bit;
    run_start_ = -1;
  }

  // Bits 0 to nbits - 1 of `bits` (1 <= nbits <= 64), bit 0 the oldest. Each
  // change of value ends the open run: its length is the distance from where
  // it started. Only the first run ended in a word can have started in an
  // earlier word and be longer than 63; the others fit their slots as they are.
  [[gnu::always_inline]] void add_bits(uint64_t bits, int nbits) {
    uint64_t changes = (bits ^ ((bits << 1) | bit_)) & (~uint64_t{0} >> (64 - nbits));
    if (changes != 0) {
      uint64_t table = bit_ * RUN_SLOTS;  // toggles between the two tables
      uint64_t previous = static_cast<unsigned>(std::countr_zero(changes));
      const int64_t first_length = static_cast<int64_t>(previous) - run_start_;
      ++count_[table + (first_length < LONGEST_SLOT ? first_length : LONGEST_SLOT)];
      table ^= RUN_SLOTS;
      changes &= changes - 1;
      while (changes != 0) {
        const uint64_t at = static_cast<unsigned>(std::countr_zero(changes));
        ++count_[table + (at - previous)];
        table ^= RUN_SLOTS;
        previous = at;
        changes &= changes - 1;
      }
      run_start_ = static_cast<int64_t>(previous);
      bit_ = table / RUN_SLOTS;
    }
    run_start_ -= nbits;
  }

  // Length of the run still open after the bits added so far.
  int64_t open_run() const { return -run_start_; }

  uint64_t count(uint32_t bit, int slot) const { return count_[bit * RUN_SLOTS + slot]; }

  // Adds the counts to the printed form.
  void add_to(RunTables& tables) const {
    for (int slot = 0; slot < RUN_SLOTS; ++slot) {
      tables.zero_runs.slot[slot].add(count(0, slot));
      tables.one_runs.slot[slot].add(count(1, slot));
    }
  }

 private:
  uint64_t count_[2 * RUN_SLOTS] = {};
  uint64_t bit_ = 0;        // value of the open run
  int64_t run_start_ = -1;  // where the open run started, relative to the next bit
};

inline uint64_t reverse_bits(uint64_t x) {
  x = __builtin_bswap64(x);
  x = ((x >> 4) & 0x0f0f0f0f0f0f0f0full) | ((x & 0x0f0f0f0f0f0f0f0full) << 4);
  x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
  x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
  return x;
}

// ---------------------------------------------------------------------------
// LenTest03: one bit position across draws.

inline constexpr int LEN03_PASSES = 1024;
inline constexpr uint32_t LEN03_DRAWS_PER_PASS = 1u << 23;
inline constexpr int LEN03_MAX_TRIALS = 256;

// Progress after a pass: the passes left, when a multiple of 100 and not 0.
struct Len03Progress {
  void operator()(int passes_left) const {
    if (passes_left != 0 && passes_left % 100 == 0) {
      std::printf("%d,", passes_left);
      std::fflush(stdout);
    }
  }
};
struct NoProgress {
  void operator()(int) const {}
};

// One trial: a draw that sets the starting bit, then `passes` passes of
// `draws_per_pass` draws. Each pass draws through a cursor of its own, so the
// state is written back after every pass. Returns the open run's length.
template <class F, class Progress = NoProgress>
int64_t len03_count(RunTables& tables, int bit_index, int passes = LEN03_PASSES,
                    uint32_t draws_per_pass = LEN03_DRAWS_PER_PASS, Progress progress = {}) {
  const uint32_t mask = uint32_t{1} << bit_index;
  RunCounter counter;
  counter.start((F::next32() & mask) != 0);
  for (int pass = 1; pass <= passes; ++pass) {
    typename F::Cursor draw;
    uint32_t left = draws_per_pass;
    // 64 draws at a time: 2 * acc + masked draw shifts earlier draws up, so
    // each half holds its 32 bits at bit_index + 31 (oldest) down to
    // bit_index (newest); reversed, the oldest draw lands in bit 0.
    for (; left >= 64; left -= 64) {
      uint64_t older = 0, newer = 0;
      for (int i = 0; i < 32; ++i) older = 2 * older + (draw.next32() & mask);
      for (int i = 0; i < 32; ++i) newer = 2 * newer + (draw.next32() & mask);
      counter.add_bits(reverse_bits((older >> bit_index) << 32 | (newer >> bit_index)), 64);
    }
    for (; left > 0; --left) counter.add_bits((draw.next32() & mask) != 0, 1);
    progress(passes - pass);
  }
  counter.add_to(tables);
  return counter.open_run();
}

// ---------------------------------------------------------------------------
// LenTestSer: the serial bit stream, bit 0 to bit 31 of each word.

inline constexpr int LENSER_MAX_TRIALS = 64;
inline constexpr int LENSER_DEFAULT_PASSES = 16;
inline constexpr uint32_t LENSER_WORDS_PER_PASS = 1u << 27;

// One trial: a starting word whose bit 31 sets the starting bit, then
// `passes` passes of `words_per_pass` words. Returns the open run's length
// (lCount).
template <class F>
int64_t lenser_count(RunTables& tables, int passes,
                     uint32_t words_per_pass = LENSER_WORDS_PER_PASS) {
  RunCounter counter;
  counter.start(F::next32() >> 31);
  for (int pass = 0; pass < passes; ++pass) {
    typename F::Cursor draw;
    uint32_t left = words_per_pass;
    for (; left >= 2; left -= 2) {
      const uint64_t first = draw.next32();
      counter.add_bits(first | uint64_t{draw.next32()} << 32, 64);
    }
    if (left == 1) counter.add_bits(draw.next32(), 32);
  }
  counter.add_to(tables);
  return counter.open_run();
}

// ---------------------------------------------------------------------------
// Statistics and result text shared by both tests.

// E(L) for L = 1 to 63: E(1), halved from one length to the next.
struct ExpectedRuns {
  double of_length[RUN_SLOTS] = {};
  explicit ExpectedRuns(double first) {
    for (int length = 1; length < RUN_SLOTS; ++length, first *= 0.5) of_length[length] = first;
  }
};

struct ChiSums {
  double zero_runs = 0;
  double one_runs = 0;
  double total() const { return zero_runs + one_runs; }
};

// Sums of (observed - expected)^2 / expected over lengths 1 to 30.
inline ChiSums chi_square_sums(const RunTables& tables, const ExpectedRuns& expected) {
  ChiSums sums;
  for (int length = 1; length <= CHI_LENGTHS; ++length) {
    const double e = expected.of_length[length];
    const double d0 = tables.zero_runs.slot[length].value() - e;
    const double d1 = tables.one_runs.slot[length].value() - e;
    sums.zero_runs += d0 * d0 / e;
    sums.one_runs += d1 * d1 / e;
  }
  return sums;
}

using RunText = TextBuffer<8192>;

// Lines 1 to `lengths` of a trial's table: length, E(L) and the two counts.
inline void format_run_lines(RunText& text, const RunTables& tables, const ExpectedRuns& expected,
                             int lengths) {
  for (int length = 1; length <= lengths; ++length)
    text.add("%d\t%16.3f\t%16.0f\t%16.0f\n", length, expected.of_length[length],
             tables.zero_runs.slot[length].value(), tables.one_runs.slot[length].value());
}

// How the two tests differ in their result text.
struct LenTest03 {
  static constexpr const char* name = "LenTest03";
  static constexpr bool writes_open_run = false;
  static constexpr const char* time_file_format = "%.3f sec\n";
};
struct LenTestSer {
  static constexpr const char* name = "LenTestSer";
  static constexpr bool writes_open_run = true;  // the lCount line
  static constexpr const char* time_file_format = "%.3f\tsec\n";
};

struct RunFiles {
  char result[96];
  char time[96];
  char all_trials[96];
  RunFiles(const char* test, const char* tag) {
    std::snprintf(result, sizeof result, "%s-%s.txt", test, tag);
    std::snprintf(time, sizeof time, "%s-%s-time.txt", test, tag);
    std::snprintf(all_trials, sizeof all_trials, "%s-%s-all.txt", test, tag);
  }
};

// The text of one finished trial.
struct TrialText {
  RunText out;        // standard output: 30 lines, sums, seconds
  RunText result;     // result file: 63 lines, [lCount,] sums
  TextBuffer<64> time;  // time file
};

template <class Test>
void format_trial(TrialText& text, const RunTables& tables, const ExpectedRuns& expected,
                  int64_t open_run, double seconds) {
  const ChiSums sums = chi_square_sums(tables, expected);
  format_run_lines(text.out, tables, expected, CHI_LENGTHS);
  text.out.add("KaiSq(1to30)= %.3f, %.3f, %.3f\n", sums.zero_runs, sums.one_runs, sums.total());
  text.out.add("%.3f sec\n", seconds);
  format_run_lines(text.result, tables, expected, LONGEST_SLOT);
  if constexpr (Test::writes_open_run) text.result.add("lCount= %lld\n", static_cast<long long>(open_run));
  text.result.add("KaiSq(1to30)= 0:%.3f, 1:%.3f, Sum:%.3f\n", sums.zero_runs, sums.one_runs,
                  sums.total());
  text.time.add(Test::time_file_format, seconds);
}

template <class Test>
void report_trial(const RunFiles& files, const RunTables& tables, const ExpectedRuns& expected,
                  int64_t open_run, double seconds) {
  TrialText text;
  format_trial<Test>(text, tables, expected, open_run, seconds);
  print_now(text.out);
  append_to_file(files.result, text.result);
  append_to_file(files.time, text.time);
}

// The all-trials file: a header of trial numbers, then per bit value 63 rows
// (lengths 1 to 63) of every trial's count. With 256 trials it runs to about
// half a megabyte, so it goes out in pieces of whole rows.
inline void write_all_trials(const char* path, const RunTables* history, int trials) {
  AppendFile file(path);
  TextBuffer<65536> text;
  // A row takes at most 19 characters per trial (a count below 2^63 has 19 digits).
  const size_t longest_row = 20 * static_cast<size_t>(trials) + 16;
  const auto make_room = [&] {
    if (65536 - text.size() < longest_row) {
      file.write(text);
      text.clear();
    }
  };
  for (int t = 1; t <= trials; ++t) text.add("%d\t", t);
  text.add("\n");
  for (int bit = 0; bit <= 1; ++bit) {
    text.add(bit == 0 ? "Len of 0\n" : "\nLen of 1\n");
    for (int length = 1; length <= LONGEST_SLOT; ++length) {
      make_room();
      for (int t = 0; t < trials; ++t) {
        const RunTable& table = bit == 0 ? history[t].zero_runs : history[t].one_runs;
        text.add("%16.0f\t", table.slot[length].value());
      }
      text.add("\n");
    }
  }
  file.write(text);
}

// ---------------------------------------------------------------------------
// The programs.

// program xx [yy]: bit xx (0 to 31) in yy trials (1 to 256, default 1).
// Bad arguments print one usage line and end with status -1, touching
// neither the generator nor any file.
template <class F>
int len03_run(int argc, char** argv, const char* tag = F::tag) {
  require_processor<F>(argv[0]);
  const auto usage = [](const char* line) {
    std::printf("%s\n", line);
    return -1;
  };
  if (argc < 2) return usage("2:program.exe xx( 0 to 31 )");
  const int bit_index = parse_int(argv[1]);
  if (bit_index < 0 || bit_index > 31) return usage("1:program.exe xx( 0 to 31 )");
  int trials = 1;
  if (argc > 2) {
    trials = parse_int(argv[2]);
    if (trials < 1 || trials > LEN03_MAX_TRIALS) return usage("3:program.exe xx yy( 1 to 256 )");
  }

  static RunTables history[LEN03_MAX_TRIALS];
  const RunFiles files(LenTest03::name, tag);
  // 2^33 comparisons: E(L) = 2^33 * 0.125 * 0.5^(L - 1).
  const ExpectedRuns expected(8589934592.0 * 0.125);
  reseed<F>();
  for (int t = 0; t < trials; ++t) {
    const double start = start_tick();
    reseed<F>();
    print_seed_line(run_state.seeds);
    RunTables& tables = history[t];
    tables = {};
    const int64_t open_run = len03_count<F>(tables, bit_index, LEN03_PASSES, LEN03_DRAWS_PER_PASS,
                                            Len03Progress{});
    print_now("\n", 1);
    const double seconds = elapsed_seconds(start);
    report_trial<LenTest03>(files, tables, expected, open_run, seconds);
  }
  write_all_trials(files.all_trials, history, trials);
  return 0;
}

// program [Loop [jLoop]]: Loop trials (clamped to 1 to 64, default 64) of
// jLoop passes (at least 1, default 16). No argument is rejected.
template <class F>
int lenser_run(int argc, char** argv, const char* tag = F::tag) {
  require_processor<F>(argv[0]);
  int trials = LENSER_MAX_TRIALS;
  int passes = LENSER_DEFAULT_PASSES;
  if (argc > 1) {
    trials = parse_int(argv[1]);
    if (trials < 1) trials = 1;
    if (trials > LENSER_MAX_TRIALS) trials = LENSER_MAX_TRIALS;
    std::printf("Loop= %d\t", trials);
  }
  if (argc > 2) {
    passes = parse_int(argv[2]);
    if (passes < 1) passes = 1;
    std::printf("jLoop= %d\t", passes);
  }
  std::printf("\n");
  std::fflush(stdout);

  static RunTables history[LENSER_MAX_TRIALS];
  const RunFiles files(LenTestSer::name, tag);
  // jLoop * 2^32 comparisons: E(1) = 2^29 * jLoop.
  const ExpectedRuns expected(536870912.0 * passes);
  reseed<F>();
  // Printed word by word: the command line may be longer than any buffer.
  for (int i = 0; i < argc; ++i) std::printf("%s\t", argv[i]);
  std::printf("iLoop= %d, jLoop= %d\n", static_cast<int>(LENSER_WORDS_PER_PASS), passes);
  std::fflush(stdout);
  for (int t = 0; t < trials; ++t) {
    reseed<F>();
    print_seed_line(run_state.seeds);
    RunTables& tables = history[t];
    tables = {};
    const double start = start_tick();
    const int64_t open_run = lenser_count<F>(tables, passes);
    const double seconds = elapsed_seconds(start);
    report_trial<LenTestSer>(files, tables, expected, open_run, seconds);
  }
  write_all_trials(files.all_trials, history, trials);
  return 0;
}
