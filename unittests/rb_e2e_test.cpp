// The Rb5u and Rb3w programs end to end: each runs until its first result
// line, which must also be in its result file, and whose ChiSq the printed
// seed words reproduce; and the rngstream sources of both families.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>

#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "tests/chi_square.h"
#include "unittests/rb_fixtures.h"
#include "unittests/run_program.h"

namespace {

const std::regex chi_line(
    R"( k=     0 ChiSq= (\d+\.\d{6})\t\t([0-9a-f]+),([0-9a-f]+),0,0\t \d+\.\d{3} sec\n)");

template <class Test, class F>
std::string recomputed_chi_sq(uint32_t w0, uint32_t w1) {
  F::seed(w0, w1);
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
  if (!build_runs_here<F>()) GTEST_SKIP() << "this processor lacks SSE4.1";
  TempDir dir;
  const std::string file = std::string(Test::name) + "-" + F::tag + ".txt";
  // The line is appended to the file right after it is printed: once it is
  // on standard output, wait for it in the file, then stop the program.
  const ProgramRun run = run_program({program}, dir.path(), [&](const std::string& out) {
    if (out.find('\n') == std::string::npos) return false;
    for (int i = 0; i < 5000 && read_file(dir.file(file)).find('\n') == std::string::npos; ++i)
      usleep(1000);
    return true;
  });
  ASSERT_TRUE(run.stopped) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_LT(run.max_rss_kib, 8 * 1024);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(run.out, m, chi_line)) << run.out;
  EXPECT_EQ(read_file(dir.file(file)), run.out);
  const uint32_t w0 = std::stoul(m[2], nullptr, 16);
  const uint32_t w1 = std::stoul(m[3], nullptr, 16);
  ASSERT_NE(w0, 0u);  // zero words would be taken from the clock again
  ASSERT_NE(w1, 0u);
  EXPECT_EQ((recomputed_chi_sq<Test, F>(w0, w1)), m[1].str());
}

TEST(RbPrograms, Chi7Rb5u) { check_program<ChiTest7, Rb5u>("chi7-rb5u"); }
TEST(RbPrograms, Chi8Rb5u) { check_program<ChiTest8, Rb5u>("chi8-rb5u"); }
TEST(RbPrograms, Chi6Rb5uSse4) { check_program<ChiTest6, Rb5uSse4>("chi6-rb5usse4"); }
TEST(RbPrograms, Chi7Rb5uSse4) { check_program<ChiTest7, Rb5uSse4>("chi7-rb5usse4"); }
TEST(RbPrograms, Chi8Rb5uSse4) { check_program<ChiTest8, Rb5uSse4>("chi8-rb5usse4"); }
TEST(RbPrograms, Chi7Rb3w) { check_program<ChiTest7, Rb3w>("chi7-rb3w"); }
TEST(RbPrograms, Chi7Rb3wSse4) { check_program<ChiTest7, Rb3wSse4>("chi7-rb3wsse4"); }

struct StreamCase {
  std::vector<std::string> args;
  std::string hex;  // the words expected first, one a line
};

TEST(RbRngstream, SourcesGiveTheReferenceWords) {
  const bool sse4 = build_runs_here<Rb5uSse4>();
  const StreamCase cases[] = {
      {{"rb5u", "seed", "0x12345678", "0x9abcdef0"}, "d822a6ed\nd03a7c04\n3d7f6aca\n"},
      {{"rb5u", "seed", "4294901761", "1"}, "d8e4dca7\nc9bfe18c\n6c73c7a7\n"},
      {{"rb5u", "none"}, "00000000\n00000000\n00000000\n"},
      {{"rb5usse4", "seed", "1", "1"}, "a8b5f407\n618c74bc\n38f8e053\n"},
      {{"rb3w", "seed", "305419896", "0x9ABCDEF0"}, "2b69448b\n6db7eb65\n8f990769\n"},
      {{"rb3w", "none"}, "d7baec03\nd7baec03\nd7baec03\n"},
      {{"rb3wsse4", "seed", "1", "1"}, "ca0cf261\n3112413a\n11680c24\n"},
  };
  for (const StreamCase& c : cases) {
    if (c.args[0].find("sse4") != std::string::npos && !sse4) continue;
    std::vector<std::string> args = {"rngstream"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    args.insert(args.end(), {"--count", "3", "--hex"});
    TempDir dir;
    const ProgramRun run = run_program(args, dir.path());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, c.hex) << c.args[0] << " " << c.args[1];
  }
}

TEST(RbRngstream, ZeroSeedWordIsRefused) {
  const std::vector<std::string> cases[] = {
      {"rngstream", "rb5u", "seed", "0", "1"},
      {"rngstream", "rb5u", "seed", "1", "0x0"},
      {"rngstream", "rb5usse4", "seed", "0", "0"},
      {"rngstream", "rb3w", "seed", "0", "1"},
      {"rngstream", "rb3wsse4", "seed", "1", "0"},
  };
  for (const auto& args : cases) {
    TempDir dir;
    const ProgramRun run = run_program(args, dir.path());
    EXPECT_EQ(run.exit_code, 2) << args[3] << " " << args[4];
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("is zero"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

}  // namespace
