// rngtest end to end: results read from a pipe equal the in-process kernels on
// the same words, a stream cut short reports no result for its last trial,
// and bad arguments are refused.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "generators/xorshift128.h"
#include "tests/chi_square.h"
#include "tests/run_length.h"
#include "unittests/run_program.h"

namespace {

// `producer | rngtest ARGS` through the shell, in `dir`.
ProgramRun pipe_into_rngtest(const std::string& producer, const std::string& args,
                             const std::string& dir) {
  return run_program({"/bin/sh", "-c", producer + " | " + program_path("rngtest") + " " + args},
                     dir);
}

std::string rngstream(const std::string& args) { return program_path("rngstream") + " " + args; }

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  while (dirent* e = readdir(d))
    if (e->d_name[0] != '.') names.push_back(e->d_name);
  closedir(d);
  return names;
}

std::string cut_short(unsigned long long words, unsigned long long in_trial, int trial) {
  return "rngtest: input ended after " + std::to_string(words) + " words, " +
         std::to_string(in_trial) + " of them in trial " + std::to_string(trial) +
         ", which is cut short and not reported\n";
}

// One full ChiTest7 trial (512,000,000 words) from rngstream, and 100 words
// of a second: the first line's statistic is the in-process kernel's on the
// same seeding, the seed words print as zeros, the line is in
// "ChiTest7-stdin.txt", and the second trial reports nothing and exits 3.
TEST(Rngtest, Chi7TrialFromAPipeEqualsTheKernelAndTheCutTrialIsNotReported) {
  TempDir dir;
  const ProgramRun run = pipe_into_rngtest(
      rngstream("xor seed2 0x9e3779b9 12345 --count 512000100"), "chi7 --trials 2", dir.path());
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.err, cut_short(512000100, 100, 2));
  const std::regex line(R"( k=     0 ChiSq= (\d+\.\d{6})\t\t0,0,0,0\t \d+\.\d{3} sec\n)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(run.out, m, line)) << run.out;
  EXPECT_EQ(read_file(dir.file("ChiTest7-stdin.txt")), run.out);

  Xor128::seed(0x9e3779b9, 12345);
  ChiBins bins = {};
  {
    Xor128::Cursor draw;
    chi_square_count<ChiTest7>(draw, bins, CHI_VALUES_PER_TRIAL);
  }
  char expected[64];
  std::snprintf(expected, sizeof expected, "%f", chi_square_statistic(bins));
  EXPECT_EQ(m[1].str(), expected);
}

// LenTestSer with its smallest sizes, two trials of one pass, on one trial
// and 100 words from rngstream: the first trial's text equals the in-process
// kernel's on the same seeding, in files named with the tag; the second trial
// prints nothing, not even its seed line.
TEST(Rngtest, LenserTrialFromAPipeEqualsTheKernelAndTheCutTrialPrintsNothing) {
  TempDir dir;
  const unsigned long long trial_words = LENSER_WORDS_PER_PASS + 1ull;
  const ProgramRun run = pipe_into_rngtest(
      rngstream("xor seed2 77 0xffffffff --count " + std::to_string(trial_words + 100)),
      "lenser --tag mygen 2 1", dir.path());
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_EQ(run.err, cut_short(trial_words + 100, 100, 2));

  Xor128::seed(77, 0xffffffff);
  RunTables tables;
  const int64_t open_run = lenser_count<Xor128>(tables, 1);
  TrialText text;
  format_trial<LenTestSer>(text, tables, ExpectedRuns(536870912.0), open_run, 0.0);
  const std::string table(text.out.data(), text.out.size());
  const std::string table_without_seconds =
      table.substr(0, table.rfind('\n', table.size() - 2) + 1);
  const std::string head = "Loop= 2\tjLoop= 1\t\n" + program_path("rngtest") +
                           "\t2\t1\tiLoop= 134217728, jLoop= 1\n"
                           "       0,        0,        0,        0\n";
  ASSERT_EQ(run.out.substr(0, head.size() + table_without_seconds.size()),
            head + table_without_seconds);
  EXPECT_TRUE(std::regex_match(run.out.substr(head.size() + table_without_seconds.size()),
                               std::regex(R"(\d+\.\d{3} sec\n)")))
      << run.out;
  EXPECT_EQ(read_file(dir.file("LenTestSer-mygen.txt")),
            std::string(text.result.data(), text.result.size()));
  EXPECT_TRUE(file_exists(dir.file("LenTestSer-mygen-time.txt")));
  EXPECT_FALSE(file_exists(dir.file("LenTestSer-mygen-all.txt")));  // the run never finished
}

// Only the run's opening lines, which echo its parameters, come before the
// trial that the input cuts short.
TEST(Rngtest, ShortOrEmptyInputPrintsNoTrialAndExits3) {
  struct Case {
    const char* producer;
    const char* args;
    std::string out;
    std::string message;
  } cases[] = {
      {"true", "chi7", "", cut_short(0, 0, 1)},
      {"true", "chi8 --tag empty --trials 5", "", cut_short(0, 0, 1)},
      {"head -c 4098 /dev/zero", "chi6", "",
       "rngtest: input ended after 1024 words and 2 bytes of an incomplete word, 1024 of them in"
       " trial 1, which is cut short and not reported\n"},
      {"true", "len03 31 3", "", cut_short(0, 0, 1)},
      {"true", "pair", "shift= 0\tratio= 75\tLoop= 1\tiiLoop= 1000\t\n", cut_short(0, 0, 1)},
      {"head -c 4000 /dev/zero", "lenser 1 1",
       "Loop= 1\tjLoop= 1\t\n" + program_path("rngtest") + "\t1\t1\tiLoop= 134217728, jLoop= 1\n",
       cut_short(1000, 1000, 1)},
      {"true", "lag 2", "", cut_short(0, 0, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    TempDir dir;
    const ProgramRun run = pipe_into_rngtest(c.producer, c.args, dir.path());
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.out, c.out);
    // lag names itself and its trial count on standard error first.
    const std::string lag_line =
        std::string(c.args).rfind("lag", 0) == 0 ? program_path("rngtest") + "\t2\n" : "";
    EXPECT_EQ(run.err, lag_line + c.message);
    EXPECT_EQ(files_in(dir.path()), std::vector<std::string>{});
  }
}

TEST(Rngtest, BadArgumentsGetOneUsageLineAndStatus2) {
  const std::vector<std::string> cases[] = {
      {},
      {"chi9"},
      {"--trials", "3"},
      {"chi7", "--trials"},
      {"chi7", "--trials", "0"},
      {"chi7", "--trials", "-2"},
      {"chi7", "--trials", "3x"},
      {"chi7", "--trials", "99999999999"},
      {"chi7", "--tag"},
      {"chi7", "--tag", ""},
      {"chi7", "--tag", "../elsewhere"},
      {"chi7", "--tag", "a b"},
      {"chi7", "--tag", std::string(41, 'x')},
      {"chi7", "--bogus"},
      {"chi7", "3"},
      {"lag", "--trials", "3"},
      {"lenser", "1", "--trials", "2"},
  };
  for (const auto& args : cases) {
    std::vector<std::string> argv = {"rngtest"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    SCOPED_TRACE(shown);
    TempDir dir;
    const ProgramRun run = run_program(argv, dir.path());
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(split_lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("rngtest: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("usage: rngtest TEST [--tag NAME] [--trials N] [TEST ARGS...]"),
              std::string::npos);
  }
}

}  // namespace
