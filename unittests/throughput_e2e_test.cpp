// The throughput programs end to end: the shape of every line and the check
// value of a small run, and the header and loop counts for each argument form
// (those runs are stopped once the loop counts are printed).
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "unittests/run_program.h"

#ifndef SUITE_BUILDS_X86_32
#define SUITE_BUILDS_X86_32 0
#endif

namespace {

struct SpeedProgram {
  const char* name;
  const char* check;  // check value of `program 1 1`
  bool built;
};

const SpeedProgram speed_programs[] = {
    {"speed-xor", "dc6a48cf", true},
    {"speed-mt", "f091f470", true},
    {"speed-rb5u", "ac012022", true},
    {"speed-rb5u-b", "ac012022", SUITE_BUILDS_X86_32},  // speed-rb5u built for 32-bit x86
};

void PrintTo(const SpeedProgram& p, std::ostream* os) { *os << p.name; }

class ThroughputProgram : public ::testing::TestWithParam<SpeedProgram> {
 protected:
  void SetUp() override {
    if (!GetParam().built) GTEST_SKIP() << GetParam().name << " is not built on this machine";
  }
};

TEST_P(ThroughputProgram, SmallRunPrintsEveryLineAndTheCheckValue) {
  const SpeedProgram& p = GetParam();
  TempDir dir;
  const ProgramRun run = run_program({p.name, "1", "1"}, dir.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::string rate = R"((\d\.\d{3}e[+-]\d\d|inf))";
  std::string expected = "\n";
  expected += p.name;
  expected += "\t1\t1\njLoop= 840, iLoop= 2400\n";
  for (int v = 1; v <= 8; ++v)
    expected += std::to_string(v) + R"(: +\d+\.\d{3} sec\t        0 \t)" + rate + " counts/sec\n";
  expected += R"(Total time= \d+\.\d{3} sec\n)";
  expected += "  Ave= \t" + rate + "\t counts/sec\n";
  expected += "  Max= \t" + rate + "\t counts/sec\n";
  expected += std::string(p.check) + "\n-------------------\n";
  EXPECT_TRUE(std::regex_match(run.out, std::regex(expected))) << run.out;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // writes no file
}

TEST_P(ThroughputProgram, HeaderAndLoopCountsForEachArgumentForm) {
  const SpeedProgram& p = GetParam();
  const std::string name = p.name;
  struct Case {
    std::vector<std::string> args;
    std::string header;  // empty: no header line
    const char* loops;
  } cases[] = {
      {{}, "\n" + name + "\t\n", "jLoop= 84000, iLoop= 240001\n"},
      {{"2.7"}, "\n" + name + "\t2.7\n", "jLoop= 1680, iLoop= 240001\n"},
      {{"0", "1"}, "\n" + name + "\t0\t1\n", "jLoop= 840, iLoop= 2400\n"},
      {{"-5", "1.5"}, "\n" + name + "\t-5\t1.5\n", "jLoop= 840, iLoop= 3600\n"},
      {{"text", "50"}, "\n" + name + "\ttext\t50\n", "jLoop= 840, iLoop= 120000\n"},
      {{"1e12", "1e12"}, "\n" + name + "\t1e12\t1e12\n", "jLoop= 2147483520, iLoop= 2147483647\n"},
      {{"1", "1", "extra"}, "", "jLoop= 840, iLoop= 2400\n"},
      {{"3", "2", "extra", "more"}, "", "jLoop= 2520, iLoop= 4800\n"},
  };
  const StopWhen after_loop_counts = [](const std::string& out) {
    const size_t at = out.find("iLoop=");
    return at != std::string::npos && out.find('\n', at) != std::string::npos;
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {name};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(testing::PrintToString(argv));
    TempDir dir;
    const ProgramRun run = run_program(argv, dir.path(), after_loop_counts);
    const std::string expected = c.header + c.loops;
    EXPECT_EQ(run.out.substr(0, expected.size()), expected);
    EXPECT_EQ(run.err, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, ThroughputProgram, ::testing::ValuesIn(speed_programs),
                         [](const testing::TestParamInfo<SpeedProgram>& info) {
                           std::string name = info.param.name;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace
