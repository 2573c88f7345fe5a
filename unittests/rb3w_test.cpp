#include "generators/rb3w.h"

#include <gtest/gtest.h>

#include "generators/rb5u.h"
#include "tests/chi_square.h"
#include "unittests/rb_fixtures.h"

namespace {

// Draw numbers count from 1 after seeding. 116 and 117 come from the first
// refill after seeding, 270,372 and 270,373 from the first remix after it.
const DrawWord rb3w_words[] = {
    {0x12345678, 0x9abcdef0, 1, 0x2B69448B},      {0x12345678, 0x9abcdef0, 2, 0x6DB7EB65},
    {0x12345678, 0x9abcdef0, 3, 0x8F990769},      {0x12345678, 0x9abcdef0, 4, 0x5AF501AB},
    {0x12345678, 0x9abcdef0, 5, 0xD5F91125},      {0x12345678, 0x9abcdef0, 6, 0x27A14292},
    {0x12345678, 0x9abcdef0, 7, 0x812AFC44},      {0x12345678, 0x9abcdef0, 8, 0x4E2B88A1},
    {0x12345678, 0x9abcdef0, 116, 0x94FB2E12},    {0x12345678, 0x9abcdef0, 117, 0xAE20742B},
    {0x12345678, 0x9abcdef0, 270372, 0xCB50F3A5}, {0x12345678, 0x9abcdef0, 270373, 0x7245EAF1},
    {0x12345678, 0x9abcdef0, 300001, 0x50798FD2},
    {1, 1, 1, 0xCA0CF261},                        {1, 1, 2, 0x3112413A},
    {1, 1, 3, 0x11680C24},                        {1, 1, 4, 0x8229885E},
};

template <class F>
using Rb3wBuild = RbBuildTest<F>;
using Rb3wBuilds = ::testing::Types<Rb3w, Rb3wSse4>;
TYPED_TEST_SUITE(Rb3wBuild, Rb3wBuilds);

TYPED_TEST(Rb3wBuild, ReferenceWords) { expect_draw_words<TypeParam>(rb3w_words); }

// The first refill remixes all-zero data: every block word becomes the
// mixing word m1, so all 127 draws give the same word.
TYPED_TEST(Rb3wBuild, UnseededGeneratorRepeatsOneWordForItsFirstBlock) {
  auto s = std::make_unique<Rb3wState>();
  for (int i = 0; i < RB_WORDS; ++i) ASSERT_EQ(TypeParam::Draw::next32(*s), 0xD7BAEC03u) << i;
}

TYPED_TEST(Rb3wBuild, SeedingLeavesPos115AfterItsOwnRemix) {
  auto s = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  EXPECT_EQ(s->pos, 115);
  EXPECT_EQ(s->remix_countdown, RB_REMIX_PERIOD);
  EXPECT_NE(s->inc, 0u);
  EXPECT_TRUE(is_permutation_of_constants(s->mult));
}

TYPED_TEST(Rb3wBuild, RealOutputsOfTheFirstDraws) {
  using D = typename TypeParam::Draw;
  auto s = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  auto t = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  EXPECT_EQ(D::real32(*s), 0x2B69448B * 0x1p-32);
  EXPECT_EQ(D::real53(*t), ((0x2B69448Bu >> 5) * 0x1p26 + (0x6DB7EB65u >> 6)) * 0x1p-53);
  EXPECT_EQ(D::real32_closed(*s), rb_real32_closed(0x6DB7EB65));
  EXPECT_EQ(D::real53_closed(*t), rb_real53_closed(0x8F990769, 0x5AF501AB));
}

// Sub-generator words 1 (the new inc) and then 0 (the addend): x = 0 makes
// the first word w = 1; y ^ (y << 11) = 1 cancels it in the second.
TYPED_TEST(Rb3wBuild, ARefillWithAddend0GivesTheBlockWordXorItsShift) {
  using D = typename TypeParam::Draw;
  auto s = seeded<TypeParam>(0x12345678, 0x9abcdef0);
  while (s->pos != 0) D::skip(*s);
  s->sub = {0, 0x00400801, 0x5555, 1};
  s->remix_countdown = 5;
  for (int i = 0; i < RB_WORDS; ++i) {
    const uint32_t word = D::next32(*s);
    const uint32_t a = s->block[s->pos];
    ASSERT_EQ(word, a ^ (a >> 13)) << i;
  }
  EXPECT_EQ(s->addend, 0u);
  EXPECT_EQ(s->inc, 1u);
}

TEST(Rb3w, BuildsAgreeWordForWordAndStateForState) {
  if (!Rb3wSse4::processor_supported()) GTEST_SKIP() << "this processor lacks SSE4.1";
  const uint32_t seeds[][2] = {
      {1, 1}, {0x12345678, 0x9abcdef0}, {0xFFFF0001, 1}, {0xffffffff, 0xffffffff}, {7, 0xdeadbeef}};
  for (const auto& s : seeds) expect_builds_agree<Rb3w, Rb3wSse4>(s[0], s[1]);
}

TEST(Rb3w, DiffersFromRb5uFromTheFirstDraw) {
  const uint32_t seeds[][2] = {{1, 1}, {0x12345678, 0x9abcdef0}, {0xFFFF0001, 1}, {2, 3}};
  for (const auto& k : seeds) {
    auto a = seeded<Rb3w>(k[0], k[1]);
    auto b = seeded<Rb5u>(k[0], k[1]);
    EXPECT_NE(rb3w_next32(*a), rb5u_next32(*b)) << k[0] << "," << k[1];
  }
}

// Every sub word 0, a multiple of 127: each position swaps with position 0,
// which rotates the table by one.
TEST(Rb3w, ShuffleWithMultiplesOf127SwapsWithPosition0) {
  Rb3wState s;
  rb3w_load_mult(s);
  s.sub = {0, 0, 0, 0};
  rb3w_shuffle_mult(s);
  EXPECT_EQ(s.mult[0], RB_MULT_CONSTANTS[RB_WORDS - 1]);
  for (int i = 1; i < RB_WORDS; ++i) EXPECT_EQ(s.mult[i], RB_MULT_CONSTANTS[i - 1]) << i;
}

TEST(Rb3w, MultipliersStayAPermutationOfTheConstantsThroughRemixes) {
  auto s = seeded<Rb3w>(0x31415926, 0x27182818);
  for (int remix = 0; remix < 4; ++remix) {
    for (int i = 0; i < RB_REMIX_PERIOD; ++i) {
      s->pos = RB_LAST_POS;
      rb3w_refill(*s);
    }
    EXPECT_EQ(s->remix_countdown, RB_REMIX_PERIOD);
    EXPECT_TRUE(is_permutation_of_constants(s->mult));
  }
}

template <class F>
void run_chi7_program() {
  char name[] = "chi7-rb3wsse4";
  char* argv[] = {name, nullptr};
  chi_square_run<ChiTest7, F>(1, argv);
}

TEST(Rb3w, SseProgramRefusesAProcessorWithoutSse4) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(run_chi7_program<OnProcessorWithoutSse4<Rb3wSse4>>(), ::testing::ExitedWithCode(1),
              "^chi7-rb3wsse4: this build needs a processor with SSE4.1, which this one lacks\n$");
}

}  // namespace
