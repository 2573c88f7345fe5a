// The bit-transition programs end to end: one trial of one pass at ratio 75,
// every console line's shape, the file's separator and line carrying the same
// values, counts that the printed seed words reproduce, and (pair-xor) a
// second run that adds its own separator.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/bit_transition.h"
#include "unittests/run_program.h"

namespace {

struct TrialLines {
  uint32_t words[4] = {};
  std::string ave, seconds, chi_sq;
  int64_t c00 = 0, c01 = 0, c11 = 0, c10 = 0;
};

// Checks the console text of `program 0 75 1 1` and returns its values.
TrialLines check_console(const std::string& out, bool two_word_family) {
  TrialLines t;
  const std::vector<std::string> lines = split_lines(out);
  EXPECT_EQ(lines.size(), 8u) << out;
  if (lines.size() != 8) return t;
  EXPECT_EQ(lines[0], "shift= 0\tratio= 75\tLoop= 1\tiiLoop= 1\t");
  std::smatch m;
  const std::string word = "([ 0-9a-f]{7}[0-9a-f])";
  EXPECT_TRUE(std::regex_match(lines[1], m, std::regex(word + ", " + word + ", " + word + ", " + word)))
      << lines[1];
  if (!m.empty()) {
    for (int i = 0; i < 4; ++i) t.words[i] = std::stoul(m[i + 1], nullptr, 16);
    if (two_word_family) {
      EXPECT_EQ(m[3].str(), "       0");
      EXPECT_EQ(m[4].str(), "       0");
    }
  }
  EXPECT_EQ(lines[2], "n= 16777216");
  EXPECT_EQ(lines[3], "Ideal= 2.36");
  if (std::regex_match(lines[4], m, std::regex(R"(Ave=   (\d+\.\d\d))"))) t.ave = m[1];
  if (std::regex_match(lines[5], m, std::regex("0: 0-0= (\\d+)\t0-1= (\\d+)"))) {
    t.c00 = std::stoll(m[1]);
    t.c01 = std::stoll(m[2]);
  }
  if (std::regex_match(lines[6], m, std::regex("1: 1-1= (\\d+)\t1-0= (\\d+)"))) {
    t.c11 = std::stoll(m[1]);
    t.c10 = std::stoll(m[2]);
  }
  if (std::regex_match(lines[7], m, std::regex(R"( (\d+\.\d{3})  sec\tChiSQ= (\d+\.\d\d))"))) {
    t.seconds = m[1];
    t.chi_sq = m[2];
  }
  EXPECT_NE(t.ave, "") << lines[4];
  EXPECT_NE(t.seconds, "") << lines[7];
  char ave[64];
  std::snprintf(ave, sizeof ave, "%.2f", static_cast<double>(t.c00 + t.c01 + t.c11 + t.c10) * 0.25);
  EXPECT_EQ(t.ave, ave);
  return t;
}

std::string file_line(const TrialLines& t) {
  return "Ave=   " + t.ave + "\t0-0=\t" + std::to_string(t.c00) + "\t0-1=\t" +
         std::to_string(t.c01) + "\t1-1=\t" + std::to_string(t.c11) + "\t1-0\t" +
         std::to_string(t.c10) + "\t " + t.seconds + "  sec\tChiSQ= " + t.chi_sq;
}

// Runs `program 0 75 1 1` `runs` times in one directory, each run adding its
// separator and its line to the file; returns the first run's values.
TrialLines check_program(const char* program, bool two_word_family, int runs) {
  SCOPED_TRACE(program);
  TempDir dir;
  std::vector<std::string> file_lines;
  TrialLines first;
  for (int run_number = 0; run_number < runs; ++run_number) {
    const ProgramRun run = run_program({program, "0", "75", "1", "1"}, dir.path());
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    const TrialLines t = check_console(run.out, two_word_family);
    if (run_number == 0) first = t;
    file_lines.push_back(std::string(23, '-'));
    file_lines.push_back(file_line(t));
    EXPECT_EQ(split_lines(read_file(dir.file(PAIR_RESULT_FILE))), file_lines);
  }
  return first;
}

// Seeds the family from the words a trial printed, as its reseed did.
template <class F>
void seed_from(const uint32_t (&words)[4]) {
  if constexpr (F::protocol == SeedProtocol::two_words_by_value) {
    F::seed(words[0], words[1]);
  } else if constexpr (F::protocol == SeedProtocol::two_words_by_reference) {
    uint32_t k0 = words[0], k1 = words[1];  // nonzero after a reseed: nothing is rewritten
    F::seed(k0, k1);
  } else {
    F::seed(words);
  }
}

// The trial's counts are those of one pass drawn from the printed seeding.
// The file's growth over runs is the same code for every family: one family
// shows it, the others run once to keep the suite's test time down.
template <class F>
void check_program_and_counts(const char* program, int runs = 1) {
  if constexpr (requires { F::processor_supported(); }) {
    if (!F::processor_supported()) GTEST_SKIP() << "this processor lacks " << F::required_isa;
  }
  const TrialLines t = check_program(program, F::protocol != SeedProtocol::four_words, runs);
  seed_from<F>(t.words);
  TransitionCounts counts;
  {
    typename F::Cursor draw;
    bit_transition_count(draw, counts, 75);
  }
  EXPECT_EQ(counts.zero_zero(), t.c00) << program;
  EXPECT_EQ(counts.zero_one(), t.c01) << program;
  EXPECT_EQ(counts.one_one(), t.c11) << program;
  EXPECT_EQ(counts.one_zero(), t.c10) << program;
}

TEST(BitTransitionPrograms, PairXor) { check_program_and_counts<Xor128>("pair-xor", 2); }
TEST(BitTransitionPrograms, PairMt) { check_program_and_counts<Mt>("pair-mt"); }
TEST(BitTransitionPrograms, PairSfmt) { check_program_and_counts<Sfmt>("pair-sfmt"); }
TEST(BitTransitionPrograms, PairRb5u) { check_program_and_counts<Rb5u>("pair-rb5u"); }
TEST(BitTransitionPrograms, PairRb5uSse4) { check_program_and_counts<Rb5uSse4>("pair-rb5usse4"); }

// The parameter line comes first; the program is stopped there.
TEST(BitTransitionPrograms, ParameterLineShowsClampedValues) {
  TempDir dir;
  struct Case {
    std::vector<std::string> argv;
    const char* line;
  } cases[] = {
      {{"pair-xor"}, "shift= 0\tratio= 75\tLoop= 1\tiiLoop= 1000\t\n"},
      {{"pair-xor", "-4", "10", "0", "-1"}, "shift= 0\tratio= 51\tLoop= 1\tiiLoop= 1\t\n"},
      {{"pair-xor", "40", "150", "-1", "0", "extra"}, "shift= 31\tratio= 99\tLoop= 1\tiiLoop= 1\t\n"},
  };
  for (const Case& c : cases) {
    const ProgramRun run = run_program(c.argv, dir.path(), 1);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), c.line);
  }
}

}  // namespace
