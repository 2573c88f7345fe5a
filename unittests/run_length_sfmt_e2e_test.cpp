// lenser-sfmt end to end with its smallest arguments: one trial of one pass
// whose result block the printed seed words reproduce.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "generators/sfmt.h"
#include "tests/run_length.h"
#include "unittests/run_program.h"

namespace {

const std::regex seed_line(
    R"(([ 0-9a-f]{7}[0-9a-f]), ([ 0-9a-f]{7}[0-9a-f]), ([ 0-9a-f]{7}[0-9a-f]), ([ 0-9a-f]{7}[0-9a-f]))");

TEST(SfmtRunLengthPrograms, LenserOneTrialOfOnePassIsReproducible) {
  TempDir dir;
  const ProgramRun run = run_program({"lenser-sfmt", "1", "1"}, dir.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> out = split_lines(run.out);
  ASSERT_EQ(out.size(), 35u) << run.out;
  EXPECT_EQ(out[0], "Loop= 1\tjLoop= 1\t");
  EXPECT_EQ(out[1], "lenser-sfmt\t1\t1\tiLoop= 134217728, jLoop= 1");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(out[2], m, seed_line)) << out[2];
  uint32_t words[4];
  for (int i = 0; i < 4; ++i) words[i] = static_cast<uint32_t>(std::stoul(m[i + 1], nullptr, 16));
  Sfmt::seed(words);
  RunTables counted = {};
  const int64_t open = lenser_count<Sfmt>(counted, 1);
  TrialText text;
  format_trial<LenTestSer>(text, counted, ExpectedRuns(536870912.0), open, 0.0);
  EXPECT_EQ(read_file(dir.file("LenTestSer-sfmt.txt")),
            std::string(text.result.data(), text.result.size()));
  EXPECT_TRUE(file_exists(dir.file("LenTestSer-sfmt-time.txt")));
  EXPECT_TRUE(file_exists(dir.file("LenTestSer-sfmt-all.txt")));
}

}  // namespace
