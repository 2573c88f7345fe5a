#include "generators/xorshift128.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

enum class Seeding { none, seed2, seed2_fold, seed4 };

struct Vector {
  const char* name;
  Seeding seeding;
  uint32_t k[4];
  uint32_t state[4];    // x, y, z, w after seeding
  uint32_t outputs[3];  // the next three outputs
  bool check_state;
};

const Vector vectors[] = {
    {"initial", Seeding::none, {}, {123456789, 362436069, 521288629, 88675123},
     {0xdca345ea, 0x1b5116e6, 0x951049aa}, true},
    {"seed2(0,0)", Seeding::seed2, {0, 0}, {0x95138246, 0xd88c21e9, 0x1cc44bfa, 0x8b73665c},
     {0x827bc4c6, 0x3b413e09, 0x05e43900}, true},
    {"seed2(1,1)", Seeding::seed2, {1, 1}, {0x95920c17, 0xd8762b29, 0x32c3f093, 0xd28afdb0},
     {0xd77da142, 0xbe3bf7e7, 0x9351cfdb}, true},
    {"seed4(0,0,0,0)", Seeding::seed4, {0, 0, 0, 0},
     {0x95138246, 0xd88c21e9, 0x1cc44bfa, 0x8b73665c}, {0x827bc4c6, 0x3b413e09, 0x05e43900},
     true},
    {"seed4(1,1,1,1)", Seeding::seed4, {1, 1, 1, 1},
     {0x9544a2b9, 0xd8f0570e, 0xb7d3c780, 0xc3cc5252}, {0x732d71f8, 0x293f10b4, 0x00f93dd4},
     true},
    {"seed2_fold(0,0)", Seeding::seed2_fold, {0, 0},
     {0x951059c0, 0xd88ed362, 0x1ec79234, 0x8d319206}, {0x9af80439, 0x3443c1c7, 0x1637a349},
     true},
    {"seed2_fold(1,1)", Seeding::seed2_fold, {1, 1},
     {0x9513426c, 0xd88b76a1, 0x1d048a2f, 0x89f433f6}, {0x86fb0086, 0x05465086, 0x3c2af7f3},
     true},
};

Xor128State seeded(const Vector& v) {
  Xor128State s;
  switch (v.seeding) {
    case Seeding::none: break;
    case Seeding::seed2: xor128_seed2(s, v.k[0], v.k[1]); break;
    case Seeding::seed2_fold: xor128_seed2_fold(s, v.k[0], v.k[1]); break;
    case Seeding::seed4: xor128_seed4(s, v.k[0], v.k[1], v.k[2], v.k[3]); break;
  }
  return s;
}

TEST(Xor128, ReferenceVectors) {
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.name);
    Xor128State s = seeded(v);
    EXPECT_EQ(s.x, v.state[0]);
    EXPECT_EQ(s.y, v.state[1]);
    EXPECT_EQ(s.z, v.state[2]);
    EXPECT_EQ(s.w, v.state[3]);
    for (uint32_t expected : v.outputs) EXPECT_EQ(xor128_next32(s), expected);
  }
}

TEST(Xor128, SeedingWrapsSilentlyModulo2To32) {
  // Every multiplier of k0 is at least 4, so k0 and k0 + 2^30 give the same
  // start words once the products wrap; likewise for k1 in seed2.
  for (uint32_t k0 : {0u, 1u, 0xbfffffffu, 0xffffffffu}) {
    Xor128State a, b;
    xor128_seed2(a, k0, 0xfffffffeu);
    xor128_seed2(b, k0 + (1u << 30), 0xfffffffeu + (1u << 30));
    EXPECT_EQ(xor128_next32(a), xor128_next32(b)) << k0;
  }
}

TEST(Xor128, CursorMatchesTheDrawAndStoresTheStateBack) {
  Xor128::seed(0x12345678, 0x9abcdef0);
  Xor128State reference = Xor128::state;
  {
    Xor128::Cursor draw;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(draw.next32(), xor128_next32(reference)) << i;
  }
  EXPECT_EQ(Xor128::state.x, reference.x);
  EXPECT_EQ(Xor128::state.y, reference.y);
  EXPECT_EQ(Xor128::state.z, reference.z);
  EXPECT_EQ(Xor128::state.w, reference.w);
  EXPECT_EQ(Xor128::next32(), xor128_next32(reference));
}

TEST(Xor128, FoldFamilySharesTheDrawButSeedsFolded) {
  Xor128Fold::seed(1, 1);
  EXPECT_EQ(Xor128Fold::next32(), 0x86fb0086u);
  Xor128::seed(1, 1);
  EXPECT_EQ(Xor128::next32(), 0xd77da142u);
}

}  // namespace
