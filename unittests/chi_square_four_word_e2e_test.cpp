// The chi-square programs of the four-word families (MT19937, SFMT-19937) end
// to end: the first result line's shape, the same bytes in the result file,
// and a ChiSq that the generator seeded with the four printed words reproduces.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "generators/mt19937.h"
#include "generators/sfmt.h"
#include "tests/chi_square.h"
#include "unittests/run_program.h"

namespace {

const std::regex chi_line(
    R"( k=     0 ChiSq= (\d+\.\d{6})\t\t([0-9a-f]+),([0-9a-f]+),([0-9a-f]+),([0-9a-f]+)\t \d+\.\d{3} sec\n)");

template <class Test, class F>
std::string recomputed_chi_sq(const uint32_t (&key)[4]) {
  F::seed(key);
  ChiBins bins = {};
  {
    typename F::Cursor draw;
    chi_square_count<Test>(draw, bins, CHI_VALUES_PER_TRIAL);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%f",
                static_cast<double>(chi_square_sum(bins, CHI_EXPECTED_PER_BIN)) * 0.000001);
  return text;
}

template <class Test, class F>
void check_program(const char* program) {
  SCOPED_TRACE(program);
  TempDir dir;
  // The file is appended after the line is printed: by the time the second
  // line shows, the first is complete in the file.
  const ProgramRun run = run_program({program}, dir.path(), 2);
  ASSERT_TRUE(run.stopped) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_LT(run.max_rss_kib, 8 * 1024);
  const std::string first = run.out.substr(0, run.out.find('\n') + 1);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(first, m, chi_line)) << first;
  const std::string file = std::string(Test::name) + "-" + F::tag + ".txt";
  EXPECT_EQ(read_file(dir.file(file)).substr(0, first.size()), first);
  uint32_t key[4];
  for (int i = 0; i < 4; ++i) key[i] = static_cast<uint32_t>(std::stoul(m[2 + i], nullptr, 16));
  EXPECT_EQ((recomputed_chi_sq<Test, F>(key)), m[1].str());
}

TEST(ChiSquareFourWordPrograms, Chi6Mt) { check_program<ChiTest6, Mt>("chi6-mt"); }
TEST(ChiSquareFourWordPrograms, Chi7Mt) { check_program<ChiTest7, Mt>("chi7-mt"); }
TEST(ChiSquareFourWordPrograms, Chi8Mt) { check_program<ChiTest8, Mt>("chi8-mt"); }
TEST(ChiSquareFourWordPrograms, Chi7Sfmt) { check_program<ChiTest7, Sfmt>("chi7-sfmt"); }
TEST(ChiSquareFourWordPrograms, Chi8Sfmt) { check_program<ChiTest8, Sfmt>("chi8-sfmt"); }

}  // namespace
