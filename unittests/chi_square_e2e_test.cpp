// The chi-square programs end to end: the first result line's shape, the same
// bytes in the result file, and a ChiSq that the printed seed words reproduce.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>

#include "generators/xorshift128.h"
#include "tests/chi_square.h"
#include "unittests/run_program.h"

namespace {

const std::regex chi_line(R"( k=     0 ChiSq= (\d+\.\d{6})\t\t([0-9a-f]+),([0-9a-f]+),0,0\t \d+\.\d{3} sec\n)");

template <class Test>
std::string recomputed_chi_sq(uint32_t w0, uint32_t w1) {
  Xor128::seed(w0, w1);
  ChiBins bins = {};
  {
    Xor128::Cursor draw;
    chi_square_count<Test>(draw, bins, CHI_VALUES_PER_TRIAL);
  }
  char text[64];
  std::snprintf(text, sizeof text, "%f",
                static_cast<double>(chi_square_sum(bins, CHI_EXPECTED_PER_BIN)) * 0.000001);
  return text;
}

template <class Test>
void check_program(const char* program) {
  SCOPED_TRACE(program);
  TempDir dir;
  // The file is appended after the line is printed: by the time the second
  // line shows, the first is complete in the file.
  const ProgramRun run = run_program({program, "ignored", "args"}, dir.path(), 2);
  ASSERT_TRUE(run.stopped) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_LT(run.max_rss_kib, 8 * 1024);
  const std::string first = run.out.substr(0, run.out.find('\n') + 1);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(first, m, chi_line)) << first;
  EXPECT_EQ(read_file(dir.file(std::string(Test::name) + "-xor.txt")).substr(0, first.size()), first);
  const uint32_t w0 = std::stoul(m[2], nullptr, 16);
  const uint32_t w1 = std::stoul(m[3], nullptr, 16);
  EXPECT_EQ(recomputed_chi_sq<Test>(w0, w1), m[1].str());
}

TEST(ChiSquarePrograms, FirstLineFileAndReproducibleStatistic) {
  check_program<ChiTest6>("chi6-xor");
  check_program<ChiTest7>("chi7-xor");
  check_program<ChiTest8>("chi8-xor");
}

TEST(ChiSquarePrograms, UnwritableResultFileIsReportedAndTheRunGoesOn) {
  TempDir dir;
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
