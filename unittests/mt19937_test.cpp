#include "generators/mt19937.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

enum class Seeding { none, seed, array };

struct Vector {
  const char* name;
  Seeding seeding;
  std::vector<uint32_t> key;  // the seed word, or the key array
  int position;               // 1 for the first output after seeding
  uint32_t expected;
};

const Vector vectors[] = {
    {"never seeded, 1st", Seeding::none, {}, 1, 3499211612u},
    {"never seeded, 2nd", Seeding::none, {}, 2, 581869302u},
    {"never seeded, 3rd", Seeding::none, {}, 3, 3890346734u},
    {"seed 5489, 1st", Seeding::seed, {5489}, 1, 3499211612u},
    {"seed 5489, 2nd", Seeding::seed, {5489}, 2, 581869302u},
    {"seed 5489, 3rd", Seeding::seed, {5489}, 3, 3890346734u},
    {"seed 5489, 10000th", Seeding::seed, {5489}, 10000, 4123659995u},
    {"array 1 2 3 4, 1st", Seeding::array, {1, 2, 3, 4}, 1, 2915706234u},
    {"array 1 2 3 4, 2nd", Seeding::array, {1, 2, 3, 4}, 2, 1022996879u},
    {"array 1 2 3 4, 3rd", Seeding::array, {1, 2, 3, 4}, 3, 334638762u},
};

void seed(MtState& s, Seeding seeding, const std::vector<uint32_t>& key) {
  switch (seeding) {
    case Seeding::none: break;
    case Seeding::seed: mt_seed(s, key[0]); break;
    case Seeding::array: mt_seed_array(s, key.data(), static_cast<int>(key.size())); break;
  }
}

TEST(Mt19937, ReferenceOutputs) {
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.name);
    MtState s;
    seed(s, v.seeding, v.key);
    uint32_t word = 0;
    for (int i = 0; i < v.position; ++i) word = mt_next32(s);
    EXPECT_EQ(word, v.expected);
  }
}

TEST(Mt19937, DefaultSeededStandardLibraryGeneratorGivesTheSameWords) {
  std::mt19937 standard;  // default seed 5489
  MtState seeded, unseeded;
  mt_seed(seeded, 5489);
  for (int i = 0; i < 6 * MT_N + 5; ++i) {
    const uint32_t expected = static_cast<uint32_t>(standard());
    ASSERT_EQ(mt_next32(seeded), expected) << i;
    ASSERT_EQ(mt_next32(unseeded), expected) << i;
  }
}

TEST(Mt19937, NextIndexAcrossRegenerations) {
  MtState s;
  EXPECT_EQ(s.next_index, 625);
  mt_seed(s, 7);
  EXPECT_EQ(s.next_index, 624);
  mt_next32(s);
  EXPECT_EQ(s.next_index, 1);  // right after the first regeneration
  for (int i = 1; i < MT_N; ++i) mt_next32(s);
  EXPECT_EQ(s.next_index, 624);
  // The 625th output is the first word of the second regeneration.
  MtState copy = s;
  mt_regenerate(copy);
  EXPECT_EQ(mt_next32(s), mt_temper(copy.words[0]));
  EXPECT_EQ(s.next_index, 1);
  mt_seed_array(s, copy.words, 4);
  EXPECT_EQ(s.next_index, 624);
}

// A key longer than 624 words runs the first loop `length` times, wrapping the
// state index as well as the key index: every key word, the last included,
// must reach the state.
TEST(Mt19937, KeyLongerThanTheStateUsesEveryWord) {
  constexpr int length = 1000;
  std::vector<uint32_t> key(length);
  for (int i = 0; i < length; ++i) key[i] = 0x9e3779b9u * static_cast<uint32_t>(i + 1);
  auto first_words = [](const std::vector<uint32_t>& k, int n) {
    MtState s;
    mt_seed_array(s, k.data(), n);
    std::vector<uint32_t> out;
    for (int i = 0; i < 8; ++i) out.push_back(mt_next32(s));
    return out;
  };
  const std::vector<uint32_t> reference = first_words(key, length);
  EXPECT_EQ(first_words(key, length), reference);  // deterministic
  EXPECT_NE(first_words(key, 624), reference);     // the words beyond 624 count
  for (int changed : {0, 623, 624, 700, length - 1}) {
    std::vector<uint32_t> other = key;
    other[changed] ^= 1;
    EXPECT_NE(first_words(other, length), reference) << "key word " << changed;
  }
}

// The word whose tempering gives `out`: each tempering step is undone by
// repeating it until the shifted-in bits settle.
uint32_t untemper(uint32_t out) {
  auto undo_right = [](uint32_t x, int shift) {
    uint32_t y = x;
    for (int i = 0; i < 32 / shift + 1; ++i) y = x ^ (y >> shift);
    return y;
  };
  auto undo_left = [](uint32_t x, int shift, uint32_t mask) {
    uint32_t y = x;
    for (int i = 0; i < 32 / shift + 1; ++i) y = x ^ ((y << shift) & mask);
    return y;
  };
  uint32_t y = undo_right(out, 18);
  y = undo_left(y, 15, 0xefc60000u);
  y = undo_left(y, 7, 0x9d2c5680u);
  return undo_right(y, 11);
}

// A state whose next draws are exactly `outputs`.
MtState state_drawing(std::initializer_list<uint32_t> outputs) {
  MtState s;
  mt_seed(s, 1);
  int i = 0;
  for (uint32_t out : outputs) s.words[i++] = untemper(out);
  s.next_index = 0;
  return s;
}

TEST(Mt19937, RealOutputsAtTheExtremes) {
  EXPECT_EQ(mt_temper(untemper(0xdeadbeefu)), 0xdeadbeefu);
  struct Case {
    const char* name;
    double (*real)(MtState&);
    uint32_t word;
    double expected;
  } cases[] = {
      {"closed, all ones", mt_real32_closed, 0xffffffffu, 1.0},
      {"closed, zero", mt_real32_closed, 0, 0.0},
      {"half-open, all ones", mt_real32, 0xffffffffu, 1.0 - 0x1p-32},
      {"half-open, zero", mt_real32, 0, 0.0},
      {"open, all ones", mt_real32_open, 0xffffffffu, 1.0 - 0x1p-33},
      {"open, zero", mt_real32_open, 0, 0x1p-33},
      {"closed, middle", mt_real32_closed, 0x80000000u, 2147483648.0 / 4294967295.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MtState s = state_drawing({c.word});
    EXPECT_EQ(c.real(s), c.expected);
  }
  MtState ones = state_drawing({0xffffffffu, 0xffffffffu});
  EXPECT_EQ(mt_real53(ones), 1.0 - 0x1p-53);
  MtState zeros = state_drawing({0, 0});
  EXPECT_EQ(mt_real53(zeros), 0.0);
  // The first draw gives the high 27 bits, the second the low 26.
  MtState ordered = state_drawing({1u << 5, 0});
  EXPECT_EQ(mt_real53(ordered), 0x1p-27);
  MtState shifted = state_drawing({0x80000000u, 0x80000000u});
  EXPECT_EQ(mt_next31(shifted), 0x40000000u);
}

TEST(Mt19937, FamilySeedsFromTheFourWordsAndDrawsWithNext32) {
  const uint32_t key[4] = {1, 2, 3, 4};
  Mt::seed(key);
  {
    Mt::Cursor draw;
    EXPECT_EQ(draw.next32(), 2915706234u);
  }
  EXPECT_EQ(Mt::next32(), 1022996879u);
  EXPECT_EQ(Mt::state.next_index, 2);
}

}  // namespace
