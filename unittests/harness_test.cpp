#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "harness/args.h"
#include "harness/clock.h"
#include "harness/output.h"
#include "harness/reseed.h"
#include "unittests/fake_clock.h"

namespace {

template <SeedProtocol P>
struct LoggingFamily {
  static constexpr const char* tag = "log";
  static constexpr SeedProtocol protocol = P;
  static inline uint32_t output = 0;
  static inline uint32_t seeded_with[4];
  static inline int seedings = 0;
  static uint32_t next32() {
    FakeClock::events += 'o';
    return output;
  }
  static void seed(uint32_t k0, uint32_t k1)
    requires(P == SeedProtocol::two_words_by_value)
  {
    FakeClock::events += 'S';
    seeded_with[0] = k0;
    seeded_with[1] = k1;
    ++seedings;
  }
  static void seed(uint32_t& k0, uint32_t& k1)
    requires(P == SeedProtocol::two_words_by_reference)
  {
    FakeClock::events += 'S';
    // Like Rb5u: zero words are replaced and written back.
    if (k0 == 0) k0 = 0xabc;
    if (k1 == 0) k1 = 0xdef;
    ++seedings;
  }
  static void seed(const uint32_t (&key)[4]) {
    FakeClock::events += 'S';
    for (int i = 0; i < 4; ++i) seeded_with[i] = key[i];
    ++seedings;
  }
};

class Reseed : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeClock::reset(1000, 0, 500, 1);
  }
  RunState run;
};

TEST_F(Reseed, TwoWordsByValueOrderAndSums) {
  using F = LoggingFamily<SeedProtocol::two_words_by_value>;
  F::output = 7;
  FakeClock::hold = 2;  // the wait sees the first second twice more, then a new one
  reseed<F, FakeClock>(run);
  // wait: t0, one reading still t0, one changed; then ms, s, seed; then o m o s seed.
  EXPECT_EQ(FakeClock::events, "sssmsSomosS");
  // first use: w0 = 500, w1 = 1002 + 1 waited; then w0 += 7 + 501, w1 += 7 + 1003.
  EXPECT_EQ(run.seeds.word[0], 500u + 7 + 501);
  EXPECT_EQ(run.seeds.word[1], 1002u + 1 + 7 + 1003);
  EXPECT_EQ(run.seeds.word[2], 0u);
  EXPECT_EQ(run.seeds.word[3], 0u);
  EXPECT_EQ(F::seeded_with[0], run.seeds.word[0]);
  EXPECT_EQ(F::seeded_with[1], run.seeds.word[1]);
}

TEST_F(Reseed, FirstUseStepRunsOnceEvenWithTwoReseedsPerTrial) {
  using F = LoggingFamily<SeedProtocol::two_words_by_value>;
  F::seedings = 0;
  for (int trial = 0; trial < 3; ++trial) {
    reseed<F, FakeClock>(run);
    reseed<F, FakeClock>(run);
  }
  EXPECT_EQ(F::seedings, 1 + 6);
  EXPECT_FALSE(run.first_use);
  EXPECT_EQ(std::count(FakeClock::events.begin(), FakeClock::events.end(), 'o'), 12);
}

TEST_F(Reseed, SeedWordsWrapModulo2To32) {
  using F = LoggingFamily<SeedProtocol::two_words_by_value>;
  run.first_use = false;
  run.seeds.word[0] = 0xfffffff0u;
  run.seeds.word[1] = 0xffffffffu;
  F::output = 0x20;
  reseed<F, FakeClock>(run);
  EXPECT_EQ(run.seeds.word[0], 0xfffffff0u + 0x20 + 500);  // wraps to a small value
  EXPECT_EQ(run.seeds.word[0], 0x204u);
  EXPECT_EQ(run.seeds.word[1], 0x20u - 1 + 1001);
}

TEST_F(Reseed, TwoWordsByReferencePrintsTheWordsTheFamilyWroteBack) {
  using F = LoggingFamily<SeedProtocol::two_words_by_reference>;
  F::output = 1;
  run.seeds.word[0] = 55;  // cleared by the first-use step
  reseed<F, FakeClock>(run);
  // The first-use step reads no clock itself: the family does its own wait.
  EXPECT_EQ(FakeClock::events, "SomosS");
  EXPECT_EQ(run.seeds.word[0], 0xabcu + 1 + 500);
  EXPECT_EQ(run.seeds.word[1], 0xdefu + 1 + 1001);
}

TEST_F(Reseed, FourWordsReadClocksAroundTheWait) {
  using F = LoggingFamily<SeedProtocol::four_words>;
  F::output = 3;
  FakeClock::hold = 1;
  reseed<F, FakeClock>(run);
  // s m for words 0 and 1, the wait (t0, changed), s m for words 2 and 3, seed;
  // then output and clock for each word, clocks alternating, and the seeding.
  EXPECT_EQ(FakeClock::events, "smsssmSomosomosS");
  const uint32_t* w = run.seeds.word;
  EXPECT_EQ(w[0], 1000u + 3 + 502);
  EXPECT_EQ(w[1], 500u + 3 + 1004);
  EXPECT_EQ(w[2], 1003u + 3 + 503);
  EXPECT_EQ(w[3], 501u + 3 + 1005);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(F::seeded_with[i], w[i]);
}

TEST(WaitNextSecond, CountsReadingsThatStillShowTheFirstSecond) {
  FakeClock::hold = 0;
  FakeClock::events.clear();
  EXPECT_EQ(wait_next_second<FakeClock>(), 0u);  // the very next reading differs
  FakeClock::hold = 5;
  EXPECT_EQ(wait_next_second<FakeClock>(), 4u);
}

TEST(Clock, MillisecondsCountWallTimeFromProgramStart) {
  const int32_t before = SystemClock::milliseconds();
  EXPECT_GE(before, 0);
  usleep(30000);  // sleeping uses no processor time, so a CPU clock would not move
  EXPECT_GE(SystemClock::milliseconds() - before, 25);
}

TEST(Args, ReadLikeAtoiAndSaturate) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"12", 12},      {"  -7", -7},           {"+3x", 3},
               {"abc", 0},      {"", 0},                {"2147483647", INT_MAX},
               {"99999999999999999999", INT_MAX},       {"-99999999999", INT_MIN},
               {"0x10", 0},     {"007", 7}};
  for (const Case& c : cases) EXPECT_EQ(parse_int(c.text), c.value) << c.text;
  EXPECT_DOUBLE_EQ(parse_real("2.7"), 2.7);
  EXPECT_DOUBLE_EQ(parse_real("text"), 0.0);
  EXPECT_DOUBLE_EQ(parse_real(" -5"), -5.0);
}

TEST(Output, AppendsTheSameBytesAndReportsUnwritableFiles) {
  char dir[] = "/tmp/harness-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path = std::string(dir) + "/result.txt";
  TextBuffer<64> text;
  text.add("line %d\n", 1);
  ASSERT_TRUE(append_to_file(path.c_str(), text));
  ASSERT_TRUE(append_to_file(path.c_str(), text));
  FILE* f = std::fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char content[64] = {};
  const size_t n = std::fread(content, 1, sizeof content - 1, f);
  std::fclose(f);
  EXPECT_EQ(std::string(content, n), "line 1\nline 1\n");

  testing::internal::CaptureStderr();
  const std::string missing = std::string(dir) + "/no/such/dir.txt";
  EXPECT_FALSE(append_to_file(missing.c_str(), text));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(missing), std::string::npos);
  EXPECT_NE(err.find("No such file or directory"), std::string::npos);
  std::remove(path.c_str());
  rmdir(dir);
}

}  // namespace
