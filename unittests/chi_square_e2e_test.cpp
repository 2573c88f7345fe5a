// The chi-square programs end to end: the first result line's shape, the same
// bytes in the result file, peak memory, and a ChiSq that the generator seeded
// with the printed seed words reproduces.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>

#include "generators/mt19937.h"
#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "tests/chi_square.h"
#include "unittests/run_program.h"

namespace {

const std::regex chi_line(
    R"( k=     0 ChiSq= (\d+\.\d{6})\t\t([0-9a-f]+),([0-9a-f]+),([0-9a-f]+),([0-9a-f]+)\t \d+\.\d{3} sec\n)");

// Seeds F from the words printed beside a result.
template <class F>
void seed_as_printed(uint32_t (&words)[4]) {
  if constexpr (F::protocol == SeedProtocol::four_words) {
    F::seed(words);
  } else {
    EXPECT_EQ(words[2], 0u);  // two-word families print words 2 and 3 as 0
    EXPECT_EQ(words[3], 0u);
    uint32_t k0 = words[0], k1 = words[1];
    F::seed(k0, k1);
    EXPECT_EQ(k0, words[0]);  // printed words are never replaced again
    EXPECT_EQ(k1, words[1]);
  }
}

template <class Test, class F>
std::string chi_sq_of_one_trial() {
  ChiBins bins = {};
  {
    typename F::Cursor draw;
    chi_square_count<Test>(draw, bins, CHI_VALUES_PER_TRIAL);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%f", chi_square_statistic(bins));
  return text;
}

template <class Test, class F>
void check_program(const char* program) {
  if (!processor_can_run<F>()) GTEST_SKIP() << program << ": this processor lacks SSE4.1";
  TempDir dir;
  const std::string file = dir.file(std::string(Test::name) + "-" + F::tag + ".txt");
  // The line goes to the file right after standard output: once it is printed,
  // wait for it in the file, then stop the program.
  const ProgramRun run = run_program({program, "ignored", "args"}, dir.path(),
                                     [&](const std::string& out) {
                                       if (out.find('\n') == std::string::npos) return false;
                                       for (int i = 0; i < 5000; ++i, usleep(1000))
                                         if (read_file(file).find('\n') != std::string::npos)
                                           break;
                                       return true;
                                     });
  ASSERT_TRUE(run.stopped) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_LT(run.max_rss_kib, 8 * 1024);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(run.out, m, chi_line)) << run.out;
  EXPECT_EQ(read_file(file), run.out);
  uint32_t words[4];
  for (int i = 0; i < 4; ++i) words[i] = static_cast<uint32_t>(std::stoul(m[2 + i], nullptr, 16));
  seed_as_printed<F>(words);
  EXPECT_EQ((chi_sq_of_one_trial<Test, F>()), m[1].str());
}

TEST(ChiSquarePrograms, Chi6Xor) { check_program<ChiTest6, Xor128>("chi6-xor"); }
TEST(ChiSquarePrograms, Chi7Xor) { check_program<ChiTest7, Xor128>("chi7-xor"); }
TEST(ChiSquarePrograms, Chi8Xor) { check_program<ChiTest8, Xor128>("chi8-xor"); }
TEST(ChiSquarePrograms, Chi6Mt) { check_program<ChiTest6, Mt>("chi6-mt"); }
TEST(ChiSquarePrograms, Chi7Mt) { check_program<ChiTest7, Mt>("chi7-mt"); }
TEST(ChiSquarePrograms, Chi8Mt) { check_program<ChiTest8, Mt>("chi8-mt"); }
TEST(ChiSquarePrograms, Chi7Sfmt) { check_program<ChiTest7, Sfmt>("chi7-sfmt"); }
TEST(ChiSquarePrograms, Chi8Sfmt) { check_program<ChiTest8, Sfmt>("chi8-sfmt"); }
TEST(ChiSquarePrograms, Chi7Rb5u) { check_program<ChiTest7, Rb5u>("chi7-rb5u"); }
TEST(ChiSquarePrograms, Chi8Rb5u) { check_program<ChiTest8, Rb5u>("chi8-rb5u"); }
TEST(ChiSquarePrograms, Chi6Rb5uSse4) { check_program<ChiTest6, Rb5uSse4>("chi6-rb5usse4"); }
TEST(ChiSquarePrograms, Chi7Rb5uSse4) { check_program<ChiTest7, Rb5uSse4>("chi7-rb5usse4"); }
TEST(ChiSquarePrograms, Chi8Rb5uSse4) { check_program<ChiTest8, Rb5uSse4>("chi8-rb5usse4"); }
TEST(ChiSquarePrograms, Chi7Rb3w) { check_program<ChiTest7, Rb3w>("chi7-rb3w"); }
TEST(ChiSquarePrograms, Chi7Rb3wSse4) { check_program<ChiTest7, Rb3wSse4>("chi7-rb3wsse4"); }

TEST(ChiSquarePrograms, UnwritableResultFileIsReportedAndTheRunGoesOn) {
  struct Case {
    const char* setup;
    const char* reason;
  } cases[] = {
      {"mkdir ChiTest7-xor.txt", "Is a directory"},
      {"ln -s /dev/full ChiTest7-xor.txt", "No space left on device"},
      {geteuid() != 0 ? "chmod a-w ." : nullptr, "Permission denied"},
  };
  for (const Case& c : cases) {
    if (c.setup == nullptr) continue;  // root writes into read-only directories
    SCOPED_TRACE(c.setup);
    TempDir d;
    ASSERT_EQ(std::system(("cd '" + d.path() + "' && " + c.setup).c_str()), 0);
    const ProgramRun run = run_program({"chi7-xor"}, d.path(), 2);
    ASSERT_TRUE(run.stopped);
    EXPECT_EQ(split_lines(run.out).size(), 2u);
    EXPECT_NE(run.err.find("ChiTest7-xor.txt: cannot"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
  }
}

}  // namespace
