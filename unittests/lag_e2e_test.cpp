// The lag programs end to end: the standard-error line with the name as
// invoked and the trial count used. A trial takes minutes, so each program is
// stopped as soon as that line is there; by then it has printed nothing on
// standard output and written no file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "unittests/run_program.h"

namespace {

const char* const lag_programs[] = {"lag-xor", "lag-sfsse2", "lag-rb5u", "lag-rb3w"};

bool has_line(const std::string& text) { return text.find('\n') != std::string::npos; }

TEST(LagPrograms, StandardErrorLineShowsTheTrialCountUsed) {
  struct Case {
    std::vector<std::string> args;
    int trials;
  } cases[] = {
      {{}, 10},    {{"1"}, 1},     {{"999"}, 999},   {{"0"}, 10},
      {{"-3"}, 10}, {{"1000"}, 10}, {{"several"}, 10},
  };
  for (const char* program : lag_programs) {
    for (const Case& c : cases) {
      std::vector<std::string> argv = {program};
      argv.insert(argv.end(), c.args.begin(), c.args.end());
      SCOPED_TRACE(std::string(program) + " " + (c.args.empty() ? "" : c.args[0]));
      TempDir dir;
      const ProgramRun run = run_program(argv, dir.path(), StopWhen(), has_line);
      EXPECT_TRUE(run.stopped);
      EXPECT_EQ(run.err, std::string(program) + "\t" + std::to_string(c.trials) + "\n");
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(std::system(("test -z \"$(ls -A '" + dir.path() + "')\"").c_str()), 0);
    }
  }
}

TEST(LagPrograms, StandardErrorLineShowsTheNameAsInvoked) {
  for (const char* program : lag_programs) {
    TempDir dir;
    const std::string path = program_path(program);
    const ProgramRun run = run_program({path, "3"}, dir.path(), StopWhen(), has_line);
    EXPECT_TRUE(run.stopped);
    EXPECT_EQ(run.err, path + "\t3\n");
  }
}

}  // namespace
