#include "generators/rb5u.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>

#include "harness/reseed.h"
#include "tests/chi_square.h"
#include "unittests/fake_clock.h"
#include "unittests/rb_fixtures.h"

namespace {

// Draw numbers count from 1 after seeding. 116 and 117 come from the first
// refill after seeding, 270,372 and 270,373 from the first remix after it.
const DrawWord rb5u_words[] = {
    {0x12345678, 0x9abcdef0, 1, 0xD822A6ED},
    {0x12345678, 0x9abcdef0, 2, 0xD03A7C04},
    {0x12345678, 0x9abcdef0, 3, 0x3D7F6ACA},
    {0x12345678, 0x9abcdef0, 4, 0x25AA9FF9},
    {0x12345678, 0x9abcdef0, 5, 0xC84136DC},
    {0x12345678, 0x9abcdef0, 6, 0xD99EC553},
    {0x12345678, 0x9abcdef0, 7, 0x423C7AB7},
    {0x12345678, 0x9abcdef0, 8, 0x4F9B5084},
    {0x12345678, 0x9abcdef0, 116, 0xD3A7BB16},
    {0x12345678, 0x9abcdef0, 117, 0x2A351FBA},
    {0x12345678, 0x9abcdef0, 270372, 0x1B26DF83},
    {0x12345678, 0x9abcdef0, 270373, 0x2D86742B},
    {0x12345678, 0x9abcdef0, 300001, 0x864DECE4},
    // s0 = FFFF0001 makes the first key 0: the key comes from the shifts 4 and 14.
    {0xFFFF0001, 1, 1, 0xD8E4DCA7},
    {0xFFFF0001, 1, 2, 0xC9BFE18C},
    {0xFFFF0001, 1, 3, 0x6C73C7A7},
    {0xFFFF0001, 1, 4, 0xC024F99E},
    {1, 1, 1, 0xA8B5F407},
    {1, 1, 2, 0x618C74BC},
    {1, 1, 3, 0x38F8E053},
    {1, 1, 4, 0x8308F20F},
};

template <class F>
using Rb5uBuild = RbBuildTest<F>;
using Rb5uBuilds = ::testing::Types<Rb5u, Rb5uSse4>;
TYPED_TEST_SUITE(Rb5uBuild, Rb5uBuilds);

TYPED_TEST(Rb5uBuild, ReferenceWords) { expect_draw_words<TypeParam>(rb5u_words); }

TYPED_TEST(Rb5uBuild, SeedingLeavesPos115AfterItsOwnRemix) {
  auto s = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  EXPECT_EQ(s->pos, 115);
  EXPECT_EQ(s->remix_countdown, RB_REMIX_PERIOD);
  EXPECT_TRUE(is_permutation_of_constants(s->mult));
}

TYPED_TEST(Rb5uBuild, UnseededGeneratorGivesZerosForItsFirstBlock) {
  auto s = std::make_unique<Rb5uState>();
  for (int i = 0; i < RB_WORDS; ++i) ASSERT_EQ(TypeParam::Draw::next32(*s), 0u) << i;
}

TYPED_TEST(Rb5uBuild, RealOutputsOfTheFirstDraws) {
  using D = typename TypeParam::Draw;
  auto s = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  auto t = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  EXPECT_EQ(D::real32(*s), 0xD822A6ED * 0x1p-32);
  EXPECT_EQ(D::real53(*t), ((0xD822A6EDu >> 5) * 0x1p26 + (0xD03A7C04u >> 6)) * 0x1p-53);
  // Each output advances the state by its draws: s made one, t two.
  EXPECT_EQ(D::real32_closed(*s), rb_real32_closed(0xD03A7C04));
  EXPECT_EQ(D::real53_closed(*t), rb_real53_closed(0x3D7F6ACA, 0x25AA9FF9));
}

TYPED_TEST(Rb5uBuild, TwoWordOutputAcrossARefillTakesTheNewBlockAndAddend) {
  using D = typename TypeParam::Draw;
  auto s = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  for (int i = 1; i < 115; ++i) D::skip(*s);
  ASSERT_EQ(s->pos, 1);
  const uint32_t old_addend = s->addend;
  auto copy = std::make_unique<Rb5uState>(*s);
  const uint32_t draw115 = D::next32(*copy);                 // reads block[0]
  EXPECT_EQ(D::real53(*s), rb_real53(draw115, 0xD3A7BB16));  // draw 116, after the refill
  EXPECT_EQ(s->pos, RB_LAST_POS);
  EXPECT_NE(s->addend, old_addend);
}

TEST(Rb5u, BuildsAgreeWordForWordAndStateForState) {
  if (!Rb5uSse4::processor_supported()) GTEST_SKIP() << "this processor lacks SSE4.1";
  const uint32_t seeds[][2] = {
      {1, 1}, {0x12345678, 0x9abcdef0}, {0xFFFF0001, 1}, {0xffffffff, 0xffffffff}, {7, 0xdeadbeef}};
  for (const auto& s : seeds) expect_builds_agree<Rb5u, Rb5uSse4>(s[0], s[1]);
}

// Slot 127 keeps the chain value of position 0; a remix then adds a table
// word to block[0] but not to the scratch slot.
TEST(Rb5u, VectorChainLeavesPosition0ChainValueInSlot127) {
  if (!Rb5uSse4::processor_supported()) GTEST_SKIP() << "this processor lacks SSE4.1";
  auto plain = seeded<Rb5uSse4>(0x12345678, 0x9abcdef0);
  auto remixing = std::make_unique<Rb5uState>(*plain);
  plain->remix_countdown = 5;
  remixing->remix_countdown = 1;
  sse4::rb5u_refill(*plain);
  sse4::rb5u_refill(*remixing);
  EXPECT_EQ(plain->block[127], plain->block[0]);
  EXPECT_EQ(remixing->block[127], plain->block[0]);
  const uint32_t table_word = remixing->mix[plain->block[3] & 1023];
  EXPECT_EQ(remixing->block[0], plain->block[0] + table_word);
  EXPECT_NE(table_word, 0u);
}

template <class F>
void run_chi7_program() {
  char name[] = "chi7-rb5usse4";
  char* argv[] = {name, nullptr};
  chi_square_run<ChiTest7, F>(1, argv);
}

TEST(Rb5u, SseProgramRefusesAProcessorWithoutSse4) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(run_chi7_program<OnProcessorWithoutSse4<Rb5uSse4>>(), ::testing::ExitedWithCode(1),
              "^chi7-rb5usse4: this build needs a processor with SSE4.1, which this one lacks\n$");
}

TEST(Rb5u, FirstKeyFallsBackToOtherShiftsOnlyWhenZero) {
  EXPECT_EQ((0xFFFF0001u >> 3) + (0xFFFF0001u << 13), 0u);
  EXPECT_EQ(rb_key0(0xFFFF0001), (0xFFFF0001u >> 4) + (0xFFFF0001u << 14));
  EXPECT_EQ(rb_key0(1), (1u >> 3) + (1u << 13));
  EXPECT_EQ(rb_key0(0), 0u);  // only a clock word of 0 gets here: used as is
  EXPECT_EQ(rb_key1(1), 128u);
}

TEST(Rb5u, ZeroSeedWordsComeFromTheClocksAndOnlyTheFirstSeedingWaits) {
  struct Case {
    const char* name;
    bool first_seed;
    uint32_t s0, s1;
    const char* events;  // clock reads in order
    uint32_t want0, want1;
  } cases[] = {
      // Wait: the first reading, two more of the same second, one new; then
      // milliseconds and seconds for s0, milliseconds for s1.
      {"first seeding, both zero", true, 0, 0, "sssmsm", (500u + 1001 + 79225) * 33686017u, 500},
      {"later seeding, both zero", false, 0, 0, "msm", (500u + 999 + 79225) * 33686017u, 500},
      {"first seeding, s0 set", true, 9, 0, "m", 9, 500},
      {"first seeding, none zero", true, 9, 8, "", 9, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock::reset(999, 2, 500, 0);
    RbState s;
    s.first_seed = c.first_seed;
    uint32_t s0 = c.s0, s1 = c.s1;
    rb_replace_zero_words<FakeClock>(s, s0, s1);
    EXPECT_EQ(FakeClock::events, c.events);
    EXPECT_EQ(s0, c.want0);
    EXPECT_EQ(s1, c.want1);
    EXPECT_FALSE(s.first_seed);
  }
}

TEST(Rb5u, PermuteSwapsByBlockWordsModulo127) {
  struct Case {
    const char* name;
    uint32_t block0;              // its low two bits pick the start
    uint32_t swap_at, swap_with;  // one position whose block word is not its own index
  } cases[] = {
      {"every word its own index", 127 * 3, 0, 0},
      {"start 1, block[4] mod 127 = 0", 1, 4, 0},
      {"start 2, block[125] mod 127 = 126", 2 + 127 * 8, 125, 126},
      {"start 3, position 0 not visited", 3, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rb5uState s;
    rb5u_load_mult(s);
    for (uint32_t j = 0; j < RB_WORDS; ++j) s.block[j] = j + 127 * (j * 7919u);
    s.block[0] = c.block0;
    if (c.swap_at != 0) s.block[c.swap_at] = c.swap_with + 127 * 12345u;
    rb5u_permute_mult(s);
    for (uint32_t j = 0; j < RB_WORDS; ++j) {
      uint32_t from = j;
      if (j == c.swap_at) from = c.swap_with;
      if (j == c.swap_with) from = c.swap_at;
      EXPECT_EQ(s.mult[j], RB_MULT_CONSTANTS[from]) << j;
    }
  }
}

TEST(Rb5u, MultipliersStayAPermutationOfTheConstantsThroughRemixes) {
  auto s = seeded<Rb5u>(0x31415926, 0x27182818);
  for (int remix = 0; remix < 4; ++remix) {
    for (int i = 0; i < RB_REMIX_PERIOD; ++i) {
      s->pos = RB_LAST_POS;
      rb5u_refill(*s);
    }
    EXPECT_EQ(s->remix_countdown, RB_REMIX_PERIOD);
    EXPECT_TRUE(is_permutation_of_constants(s->mult));
  }
}

// a3 & 1023 = 1000: the table entries 1000..1023 and then 0..102 take the xor.
TEST(Rb5u, RemixWrapsTheMixingTableIndex) {
  Rb5uState s;
  rb5u_load_mult(s);
  for (uint32_t j = 0; j < RB_WORDS; ++j) s.block[j] = 1000 * j;
  const uint32_t a2 = 0xabcd0123;
  s.block[2] = a2;
  s.block[3] = 1000 + (5u << 10);
  s.remix_countdown = 0;
  Rb5uState before = s;
  rb5u_remix(s);
  EXPECT_EQ(s.remix_countdown, RB_REMIX_PERIOD);
  EXPECT_NE(s.inc, 0u);
  for (int t = 0; t < RB_MIX_WORDS; ++t) {
    const bool touched = t >= 1000 || t <= 102;
    EXPECT_EQ(s.mix[t], touched ? a2 : 0u) << t;
  }
  for (int k = 0; k < RB_WORDS; ++k) EXPECT_EQ(s.block[k], before.block[k] + a2) << k;
}

TEST(RbOutputs, ConstantsAndExtremes) {
  EXPECT_EQ(std::bit_cast<uint32_t>(RB5U_K32), 0x2F800000u);
  EXPECT_EQ(std::bit_cast<uint64_t>(RB5U_K32_CLOSED), 0x3DF0000000100000u);
  EXPECT_EQ(std::bit_cast<uint32_t>(RB5U_K27), 0x32000000u);
  EXPECT_EQ(std::bit_cast<uint32_t>(RB5U_K53), 0x25000000u);
  EXPECT_EQ(std::bit_cast<uint64_t>(RB5U_K27_CLOSED), 0x3E40000000000001u);
  EXPECT_EQ(std::bit_cast<uint64_t>(RB5U_K53_CLOSED), 0x3CA0000000000001u);

  EXPECT_EQ(rb_real32(0), 0.0);
  EXPECT_EQ(rb_real32(0xffffffff), 1.0 - 0x1p-32);
  EXPECT_EQ(rb_real32_closed(0), 0.0);
  EXPECT_EQ(rb_real32_closed(0xffffffff), 1.0);
  EXPECT_EQ(rb_real32_closed(0x80000000), 0x1p-1 * (1 + 0x1p-32));
  EXPECT_EQ(rb_real53(0, 0), 0.0);
  EXPECT_EQ(rb_real53(0xffffffff, 0xffffffff), 1.0 - 0x1p-53);
  EXPECT_EQ(rb_real53_closed(0, 0), 0.0);
  EXPECT_EQ(rb_real53_closed(0xffffffff, 0xffffffff), 1.0);
  // Low bits dropped by the shifts do not matter.
  EXPECT_EQ(rb_real53_closed(0xffffffe0, 0xffffffc0), 1.0);
  // The same sum in double precision overshoots, which is why it is not used.
  volatile double a = 0x7ffffff, b = 0x3ffffff;
  EXPECT_EQ(a * RB5U_K27_CLOSED + b * RB5U_K53_CLOSED, 1.0 + 0x1p-52);
}

}  // namespace
