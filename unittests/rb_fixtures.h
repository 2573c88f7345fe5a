// Helpers shared by the Rb5u and Rb3w unit tests: typed tests over both
// builds of a family (the SSE4.1 build skipped on a processor without it),
// word tables by draw number, and whole-state comparison.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "generators/rb_common.h"
#include "harness/reseed.h"

// A typed test over the builds of one family, skipped where F cannot run.
template <class F>
class RbBuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!processor_can_run<F>()) GTEST_SKIP() << "this processor lacks SSE4.1";
  }
};

// A state seeded with two words, on the heap (about 4.7 KiB each).
template <class F>
std::unique_ptr<typename F::State> seeded(uint32_t s0, uint32_t s1) {
  auto s = std::make_unique<typename F::State>();
  F::seed_state(*s, s0, s1);
  return s;
}

// The word of draw `n`, counted from 1 after seeding.
struct DrawWord {
  uint32_t s0, s1;
  uint32_t draw;
  uint32_t word;
};

template <class F, size_t N>
void expect_draw_words(const DrawWord (&table)[N]) {
  for (const DrawWord& v : table) {
    auto s = seeded<F>(v.s0, v.s1);
    for (uint32_t i = 1; i < v.draw; ++i) F::Draw::skip(*s);
    EXPECT_EQ(F::Draw::next32(*s), v.word)
        << std::hex << "seeds " << v.s0 << "," << v.s1 << std::dec << " draw " << v.draw;
  }
}

// Every field but the vector chain's scratch slot.
inline void expect_same_state(const RbState& a, const RbState& b) {
  EXPECT_TRUE(std::equal(a.block, a.block + RB_WORDS, b.block));
  EXPECT_EQ(a.pos, b.pos);
  EXPECT_EQ(a.addend, b.addend);
  EXPECT_TRUE(std::equal(std::begin(a.mult), std::end(a.mult), b.mult));
  EXPECT_EQ(a.inc, b.inc);
  EXPECT_TRUE(std::equal(std::begin(a.mix), std::end(a.mix), b.mix));
  EXPECT_EQ(a.remix_countdown, b.remix_countdown);
  EXPECT_EQ(a.sub.x, b.sub.x);
  EXPECT_EQ(a.sub.y, b.sub.y);
  EXPECT_EQ(a.sub.z, b.sub.z);
  EXPECT_EQ(a.sub.w, b.sub.w);
  EXPECT_EQ(a.first_seed, b.first_seed);
}

// The portable and the SSE4.1 build give the same words and the same state
// over 3000 words and over 2131 refills (a remix included).
template <class Portable, class Vector>
void expect_builds_agree(uint32_t s0, uint32_t s1) {
  SCOPED_TRACE(::testing::Message() << std::hex << "seeds " << s0 << "," << s1);
  auto p = seeded<Portable>(s0, s1);
  auto v = seeded<Vector>(s0, s1);
  expect_same_state(*p, *v);
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(Portable::Draw::next32(*p), Vector::Draw::next32(*v)) << "word " << i + 1;
  for (int i = 0; i < 2131 * RB_WORDS; ++i) {
    Portable::Draw::skip(*p);
    Vector::Draw::skip(*v);
  }
  expect_same_state(*p, *v);
  EXPECT_EQ(Portable::Draw::next32(*p), Vector::Draw::next32(*v));
}

inline bool is_permutation_of_constants(const uint32_t (&mult)[RB_WORDS]) {
  return std::is_permutation(std::begin(mult), std::end(mult), std::begin(RB_MULT_CONSTANTS));
}

// A build whose processor check fails, to see the refusal.
template <class F>
struct OnProcessorWithoutSse4 : F {
  static bool processor_supported() { return false; }
};
