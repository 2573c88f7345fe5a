// What every Rb family type guarantees, for Rb5u and Rb3w in both builds:
// the cursor yields the words of the draw, reseeding rebuilds the whole
// state, and the harness prints the words the family was seeded with.
#include <gtest/gtest.h>

#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "harness/reseed.h"
#include "unittests/rb_fixtures.h"

namespace {

template <class F>
using RbFamily = RbBuildTest<F>;
using RbFamilies = ::testing::Types<Rb5u, Rb5uSse4, Rb3w, Rb3wSse4>;
TYPED_TEST_SUITE(RbFamily, RbFamilies);

TYPED_TEST(RbFamily, ReseedingForgetsEverythingDrawnBefore) {
  auto s = seeded<TypeParam>(0xdeadbeef, 0x01020304);
  uint32_t first[300];
  for (uint32_t& w : first) w = TypeParam::Draw::next32(*s);
  for (int i = 0; i < 400000; ++i) TypeParam::Draw::skip(*s);  // past a remix
  uint32_t s0 = 0xdeadbeef, s1 = 0x01020304;
  TypeParam::seed_state(*s, s0, s1);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(TypeParam::Draw::next32(*s), first[i]) << i;
}

TYPED_TEST(RbFamily, CursorYieldsTheDrawsWordsAndStoresPosBack) {
  uint32_t s0 = 0x12345678, s1 = 0x9abcdef0;
  TypeParam::seed(s0, s1);
  auto reference = std::make_unique<typename TypeParam::State>(TypeParam::state);
  {
    typename TypeParam::Cursor draw;
    for (int i = 0; i < 300000; ++i) {  // past the first remix after seeding
      if (i % 3 == 2) {
        draw.skip();
        TypeParam::Draw::skip(*reference);
      } else {
        ASSERT_EQ(draw.next32(), TypeParam::Draw::next32(*reference)) << i;
      }
    }
  }
  EXPECT_EQ(TypeParam::state.pos, reference->pos);
  EXPECT_EQ(TypeParam::state.addend, reference->addend);
  EXPECT_EQ(TypeParam::next32(), TypeParam::Draw::next32(*reference));
}

// The first-use step seeds with both words zero: the family takes them from
// the clocks, and the words printed are those it seeded with.
TYPED_TEST(RbFamily, ReseedPrintsTheWordsTheGeneratorWasSeededWith) {
  RunState run;
  run.seeds.word[0] = 99;
  reseed<TypeParam>(run);
  const uint32_t w0 = run.seeds.word[0], w1 = run.seeds.word[1];
  EXPECT_EQ(run.seeds.word[2], 0u);
  EXPECT_EQ(run.seeds.word[3], 0u);
  ASSERT_NE(w0, 0u);
  ASSERT_NE(w1, 0u);
  auto s = seeded<TypeParam>(w0, w1);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(TypeParam::next32(), TypeParam::Draw::next32(*s)) << i;
}

TYPED_TEST(RbFamily, AZeroSecondWordIsTheMillisecondClockWrittenBack) {
  auto s = std::make_unique<typename TypeParam::State>();
  uint32_t s0 = 5, s1 = 0;
  const uint32_t before = static_cast<uint32_t>(SystemClock::milliseconds());
  TypeParam::seed_state(*s, s0, s1);
  const uint32_t after = static_cast<uint32_t>(SystemClock::milliseconds());
  EXPECT_EQ(s0, 5u);
  EXPECT_GE(s1, before);
  EXPECT_LE(s1, after);
  EXPECT_FALSE(s->first_seed);
}

}  // namespace
