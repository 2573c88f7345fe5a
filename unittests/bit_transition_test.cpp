#include "tests/bit_transition.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <regex>
#include <string>
#include <vector>

#include "unittests/fixtures.h"

namespace {

std::string text_of(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// A fresh directory under /tmp, removed with its files at the end.
class ScratchDir {
 public:
  ScratchDir() {
    char name[] = "/tmp/bit-transition-test-XXXXXX";
    if (mkdtemp(name) != nullptr) path_ = name;
  }
  ~ScratchDir() {
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

template <size_t N>
std::string str(const TextBuffer<N>& text) {
  return std::string(text.data(), text.size());
}

TEST(BitTransitionArgs, DefaultsAndClamping) {
  struct Case {
    std::vector<const char*> args;
    PairParams expected;
  } cases[] = {
      {{}, {0, 75, 1, 1000}},
      {{"7", "60", "3", "2"}, {7, 60, 3, 2}},
      {{"0", "10"}, {0, 51, 1, 1000}},
      {{"0", "150"}, {0, 99, 1, 1000}},
      {{"0", "50"}, {0, 51, 1, 1000}},
      {{"0", "100"}, {0, 99, 1, 1000}},
      {{"-4"}, {0, 75, 1, 1000}},
      {{"40"}, {31, 75, 1, 1000}},
      {{"0", "75", "0", "0"}, {0, 75, 1, 1}},
      {{"0", "75", "-1", "-1"}, {0, 75, 1, 1}},
      {{"x", "y", "z", "w"}, {0, 51, 1, 1}},  // text reads as 0
      {{"1", "2", "3", "4", "ignored"}, {1, 51, 3, 4}},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv = {const_cast<char*>("pair-test")};
    for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    const PairParams p = parse_pair_params(static_cast<int>(argv.size()) - 1, argv.data());
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    EXPECT_EQ(p.shift, c.expected.shift);
    EXPECT_EQ(p.ratio, c.expected.ratio);
    EXPECT_EQ(p.passes, c.expected.passes);
    EXPECT_EQ(p.trials, c.expected.trials);
  }
  PairParamLine line;
  format_pair_params(line, PairParams{});
  EXPECT_EQ(str(line), "shift= 0\tratio= 75\tLoop= 1\tiiLoop= 1000\t\n");
}

// Walks a word list and fails the test on a draw past its end.
struct ListCursor {
  const std::vector<uint32_t>& words;
  size_t used = 0;
  uint32_t next32() {
    if (used == words.size()) {
      ADD_FAILURE() << "draw past the end of the groups";
      return 0;
    }
    return words[used++];
  }
};

// One group: `ones` of the first 100 bits set (spread over the group), then
// the next bit. The other 31 bits of every word are the opposite of bit 0, so
// a kernel that reads anything but bit 0 miscounts. Returns the ones placed.
int add_group(std::vector<uint32_t>& words, int ones, int next) {
  int placed = 0;
  for (int i = 0; i < PAIR_COUNTED_BITS; ++i) {
    const bool one = (i * ones) % PAIR_COUNTED_BITS < ones;  // an even spread of `ones` ones
    words.push_back(one ? 0x00000001u : 0xfffffffeu);
    placed += one;
  }
  words.push_back(next ? 0x00000001u : 0xfffffffeu);
  return placed;
}

TEST(BitTransitionKernel, CountsGroupsByTheirMajorityAndTheNextBit) {
  struct Group {
    int ones, next;
  };
  struct Case {
    int ratio;
    std::vector<Group> groups;
    int64_t c00, c01, c11, c10;
  } cases[] = {
      // Exactly `ratio` ones or zeros count; 50 ones never count.
      {51, {{51, 1}, {50, 1}, {49, 0}, {50, 0}, {100, 0}, {0, 1}}, 1, 1, 1, 1},
      {75, {{75, 1}, {74, 1}, {25, 0}, {26, 0}, {99, 0}, {1, 1}}, 1, 1, 1, 1},
      {99, {{99, 1}, {98, 1}, {1, 0}, {2, 0}, {100, 1}, {0, 0}}, 2, 0, 2, 0},
      // The 101st bit alone decides the transition.
      {51, {{60, 0}, {60, 0}, {60, 1}, {40, 1}, {40, 1}, {40, 0}}, 1, 2, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "ratio " << c.ratio);
    std::vector<uint32_t> words;
    for (const Group& g : c.groups) ASSERT_EQ(add_group(words, g.ones, g.next), g.ones);
    ListCursor draw{words};
    TransitionCounts counts;
    bit_transition_count(draw, counts, c.ratio, static_cast<uint32_t>(c.groups.size()));
    EXPECT_EQ(draw.used, words.size());  // exactly 101 draws a group
    EXPECT_EQ(counts.zero_zero(), c.c00);
    EXPECT_EQ(counts.zero_one(), c.c01);
    EXPECT_EQ(counts.one_one(), c.c11);
    EXPECT_EQ(counts.one_zero(), c.c10);
  }
}

TEST(BitTransitionKernel, GroupsAreDisjointAndCountsAccumulate) {
  // A counter's bit 0 alternates, so every group holds 50 ones and none
  // counts; a constant odd word makes every group 1-1.
  CounterFamily::seed(0, 0);
  TransitionCounts counts;
  {
    CounterFamily::Cursor draw;
    bit_transition_count(draw, counts, 51, 1000);
  }
  EXPECT_EQ(CounterFamily::next, 101000u);  // the state is written back
  EXPECT_EQ(counts.zero_zero() + counts.zero_one() + counts.one_one() + counts.one_zero(), 0);

  ConstantFamily<0x80000001u>::Cursor ones;
  bit_transition_count(ones, counts, 99, 1000);
  bit_transition_count(ones, counts, 99, 500);
  EXPECT_EQ(counts.one_one(), 1500);
  ConstantFamily<0x7ffffffeu>::Cursor zeros;
  bit_transition_count(zeros, counts, 99, 7);
  EXPECT_EQ(counts.zero_zero(), 7);
  EXPECT_EQ(counts.one_one(), 1500);
}

TEST(BitTransitionTally, CarriesAtOneHundredMillion) {
  struct Case {
    int passes;
    const char* printed;
  } cases[] = {{1, "16777216"}, {3, "50331648"}, {5, "83886080"}, {6, "100663296"},
               {600, "10066329600"}};
  for (const Case& c : cases) {
    GroupTally tally;
    for (int i = 0; i < c.passes; ++i) tally.add_pass();
    EXPECT_EQ(text_of("%.0f", tally.total()), c.printed) << c.passes;
  }
  // Every pass of a long trial, against the exact product.
  GroupTally tally;
  for (int64_t passes = 1; passes <= 300000; ++passes) {
    tally.add_pass();
    ASSERT_GE(tally.remainder, 0);
    ASSERT_LT(tally.remainder, PAIR_TALLY_CARRY);
    ASSERT_EQ(int64_t{tally.hundred_millions} * PAIR_TALLY_CARRY + tally.remainder,
              passes * PAIR_GROUPS_PER_PASS);
  }
  EXPECT_EQ(text_of("%.0f", tally.total()), "5033164800000");
}

TEST(BitTransitionTail, TableValuesAndIdeal) {
  EXPECT_EQ(text_of("%.16g", tail_probability[51]), "0.4602053813064106");
  EXPECT_EQ(text_of("%.16g", tail_probability[75]), "2.818141017102702e-07");
  EXPECT_EQ(text_of("%.16g", tail_probability[99]), "7.967495142732219e-29");
  EXPECT_EQ(text_of("%.16g", tail_probability[100]), "7.888609052210118e-31");
  EXPECT_EQ(tail_probability[50], 0.0);
  EXPECT_EQ(tail_probability[0], 0.0);
  EXPECT_EQ(tail_probability[101], 0.0);
  EXPECT_EQ(tail_probability[127], 0.0);
  for (int k = 51; k < 100; ++k) EXPECT_GT(tail_probability[k], tail_probability[k + 1]) << k;

  GroupTally one_pass;
  one_pass.add_pass();
  const PairResult r = pair_result(TransitionCounts{}, one_pass, 75);
  EXPECT_EQ(text_of("%.2f", r.ideal), "2.36");
}

TEST(BitTransitionText, ConsoleAndFileLines) {
  SeedLine seed_line;
  format_seed_line(seed_line, SeedRecord{{0x96f9075b, 0x41832eab, 0, 0}});
  EXPECT_EQ(str(seed_line), "96f9075b, 41832eab,        0,        0\n");

  struct Case {
    int ratio, passes;
    TransitionCounts counts;
    double seconds;
    bool separator;
    const char* console;
    const char* file;
  } cases[] = {
      {75, 1, {{{1, 4}, {3, 2}}}, 1.508, true,
       "n= 16777216\nIdeal= 2.36\nAve=   2.50\n0: 0-0= 1\t0-1= 4\n1: 1-1= 2\t1-0= 3\n"
       " 1.508  sec\tChiSQ= 2.15\n",
       "-----------------------\n"
       "Ave=   2.50\t0-0=\t1\t0-1=\t4\t1-1=\t2\t1-0\t3\t 1.508  sec\tChiSQ= 2.15\n"},
      // Counts beyond 2^31: ratio 51 over 600 passes.
      {51, 600, {{{2316301478, 2316301479}, {2316301481, 2316301480}}}, 815.25, false,
       "n= 10066329600\nIdeal= 2316289525.96\nAve=   2316301479.50\n"
       "0: 0-0= 2316301478\t0-1= 2316301479\n1: 1-1= 2316301480\t1-0= 2316301481\n"
       " 815.250  sec\tChiSQ= 0.25\n",
       "Ave=   2316301479.50\t0-0=\t2316301478\t0-1=\t2316301479\t1-1=\t2316301480\t"
       "1-0\t2316301481\t 815.250  sec\tChiSQ= 0.25\n"},
  };
  for (const Case& c : cases) {
    GroupTally tally;
    for (int i = 0; i < c.passes; ++i) tally.add_pass();
    const PairResult r = pair_result(c.counts, tally, c.ratio);
    PairText console, file;
    format_pair_console(console, c.counts, r, c.seconds);
    format_pair_file(file, c.separator, c.counts, r, c.seconds);
    EXPECT_EQ(str(console), c.console);
    EXPECT_EQ(str(file), c.file);
  }
}

// A file text naming its writer and its number in the counts.
PairText trial_text(int writer, int number, bool with_separator) {
  const TransitionCounts counts{{{writer, number}, {1000000000000 + number, 2000000000000 + writer}}};
  const PairResult r{16777216, 2.36, 1.5, 1.25};
  PairText text;
  format_pair_file(text, with_separator, counts, r, 1.0);
  return text;
}

// Five writers append many trial texts (the first with the separator) to one
// file at once, as five programs may: every text must arrive whole.
TEST(BitTransitionFile, ConcurrentWritersNeverInterleave) {
  ScratchDir dir;
  const std::string path = dir.path() + "/" + PAIR_RESULT_FILE;
  constexpr int WRITERS = 5;
  constexpr int TEXTS = 400;
  std::vector<pid_t> children;
  for (int w = 0; w < WRITERS; ++w) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int t = 0; t < TEXTS; ++t) {
        ok = append_to_file(path.c_str(), trial_text(w, t, t == 0)) && ok;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  const std::regex writer_and_text("Ave=   1\\.50\t0-0=\t(\\d)\t0-1=\t(\\d+)\t.*");
  const std::vector<std::string> lines = split_lines(read_file(path));
  ASSERT_EQ(lines.size(), size_t{WRITERS * (TEXTS + 1)});
  int next_text[WRITERS] = {};
  bool after_separator = false;
  for (const std::string& line : lines) {
    if (line + "\n" == PAIR_SEPARATOR) {
      ASSERT_FALSE(after_separator);
      after_separator = true;
      continue;
    }
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, writer_and_text)) << line;
    const int w = std::stoi(m[1]);
    const int t = std::stoi(m[2]);
    ASSERT_LT(w, WRITERS);
    ASSERT_EQ(line + "\n", str(trial_text(w, t, false)));
    EXPECT_EQ(t, next_text[w]) << "writer " << w;  // each writer's texts in its order
    EXPECT_EQ(after_separator, t == 0) << line;    // a separator sticks to its line
    next_text[w] = t + 1;
    after_separator = false;
  }
  for (int w = 0; w < WRITERS; ++w) EXPECT_EQ(next_text[w], TEXTS);
}

// The whole run on a reduced pass with a constant odd word: every group is a
// 1-1 transition; two reseeds a trial; the separator once per run.
TEST(BitTransitionRun, TrialsReseedTwiceAndTheRunWritesOneSeparator) {
  using Ones = ConstantFamily<0x12345679u>;
  ScratchDir dir;
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  run_state = RunState{};
  Ones::seeds = 0;
  const char* args[] = {"pair-test", "3", "99", "2", "3", nullptr};
  testing::internal::CaptureStdout();
  const int status = bit_transition_run<Ones>(5, const_cast<char**>(args), Ones::tag, 1000);
  const std::string out = testing::internal::GetCapturedStdout();
  run_state = RunState{};
  const std::string file = read_file(PAIR_RESULT_FILE);
  ASSERT_EQ(chdir(previous), 0);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(Ones::seeds, 1 + 2 * 3);  // the first-use seeding, then two per trial
  const std::string seed = "[ 0-9a-f]{8}, [ 0-9a-f]{8},        0,        0\n";
  const std::string trial = seed +
                            "n= 2000\nIdeal= 0.00\nAve=   500.00\n"
                            "0: 0-0= 0\t0-1= 0\n1: 1-1= 2000\t1-0= 0\n"
                            " \\d+\\.\\d{3}  sec\tChiSQ= \\d+\\.\\d\\d\n";
  EXPECT_TRUE(std::regex_match(
      out, std::regex("shift= 3\tratio= 99\tLoop= 2\tiiLoop= 3\t\n" + trial + trial + trial)))
      << out;
  const std::string line =
      "Ave=   500.00\t0-0=\t0\t0-1=\t0\t1-1=\t2000\t1-0\t0\t \\d+\\.\\d{3}  sec\tChiSQ= \\d+\\.\\d\\d\n";
  EXPECT_TRUE(std::regex_match(file, std::regex("-{23}\n" + line + line + line))) << file;
}

}  // namespace
