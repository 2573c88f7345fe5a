#include "generators/sfmt.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// The two builds behind one interface, for typed tests.
struct Portable {
  static uint32_t next32(SfmtState& s) { return sfmt_portable::sfmt_next32(s); }
  static uint64_t next64(SfmtState& s) { return sfmt_portable::sfmt_next64(s); }
  static void fill32(SfmtState& s, uint32_t* a, int n) { sfmt_portable::sfmt_fill32(s, a, n); }
  static void fill64(SfmtState& s, uint64_t* a, int n) { sfmt_portable::sfmt_fill64(s, a, n); }
  using Family = Sfmt;
};
struct Sse2 {
  static uint32_t next32(SfmtState& s) { return sfmt_sse2::sfmt_next32(s); }
  static uint64_t next64(SfmtState& s) { return sfmt_sse2::sfmt_next64(s); }
  static void fill32(SfmtState& s, uint32_t* a, int n) { sfmt_sse2::sfmt_fill32(s, a, n); }
  static void fill64(SfmtState& s, uint64_t* a, int n) { sfmt_sse2::sfmt_fill64(s, a, n); }
  using Family = SfmtSse2;
};

template <class Build>
class SfmtBuild : public testing::Test {};
using Builds = testing::Types<Portable, Sse2>;
TYPED_TEST_SUITE(SfmtBuild, Builds);

enum class Seeding { seed, array };

struct Vector {
  const char* name;
  Seeding seeding;
  std::vector<uint32_t> key;  // the seed, or the key array (possibly empty)
  std::vector<std::pair<int, uint32_t>> outputs;  // (position from 1, word)
};

const Vector vectors[] = {
    {"seed 1234",
     Seeding::seed,
     {1234},
     {{1, 3440181298u},
      {2, 1564997079u},
      {3, 1510669302u},
      {4, 2930277156u},
      {5, 1452439940u},
      {624, 2570786021u},
      {625, 3899704621u},
      {1000, 1168395933u}}},
    {"array 0x1234 0x5678 0x9abc 0xdef0",
     Seeding::array,
     {0x1234, 0x5678, 0x9abc, 0xdef0},
     {{1, 2920711183u}, {2, 3885745737u}, {3, 3501893680u}, {4, 856470934u}, {5, 1421864068u}}},
    {"array of length 0", Seeding::array, {}, {{1, 4255239543u}, {2, 3443346210u}, {3, 4134481558u}}},
};

void seed(SfmtState& s, Seeding seeding, const std::vector<uint32_t>& key) {
  if (seeding == Seeding::seed)
    sfmt_seed(s, key[0]);
  else
    sfmt_seed_array(s, key.data(), static_cast<int>(key.size()));
}

TYPED_TEST(SfmtBuild, ReferenceOutputs) {
  for (const Vector& v : vectors) {
    SCOPED_TRACE(v.name);
    SfmtState s;
    seed(s, v.seeding, v.key);
    EXPECT_EQ(s.idx, N32);
    EXPECT_EQ(s.initialized, 1);
    int position = 0;
    for (const auto& [at, expected] : v.outputs) {
      uint32_t word = 0;
      while (position < at) word = TypeParam::next32(s), ++position;
      EXPECT_EQ(word, expected) << "output " << at;
    }
  }
}

TYPED_TEST(SfmtBuild, Next64PairsTwo32BitOutputsLowWordFirst) {
  SfmtState s;
  sfmt_seed(s, 1234);
  EXPECT_EQ(TypeParam::next64(s), 0x5d47f5d7cd0d0032u);
  EXPECT_EQ(TypeParam::next64(s), 0xaea87b245a0afbf6u);
  EXPECT_EQ(TypeParam::next32(s), 1452439940u);  // the fifth 32-bit output
}

// Fills give the words that as many draws would, the stream goes on after
// them, and a fill may follow a fill. 624 words is the smallest fill (no
// array-only elements); the larger sizes run all three phases.
TYPED_TEST(SfmtBuild, FillsEqualDrawsAndTheStreamContinues) {
  const uint32_t key[] = {0x1234, 0x5678, 0x9abc, 0xdef0};
  for (int size : {1000, 624, 628, 5000}) {
    SCOPED_TRACE(size);
    SfmtState filled, drawn;
    sfmt_seed_array(filled, key, 4);
    sfmt_seed_array(drawn, key, 4);
    alignas(16) static uint32_t array[5000];
    for (int round = 0; round < 2; ++round) {
      TypeParam::fill32(filled, array, size);
      EXPECT_EQ(filled.idx, N32);
      for (int i = 0; i < size; ++i) ASSERT_EQ(array[i], TypeParam::next32(drawn)) << round << " " << i;
    }
    // The following draw is the word after the last filled one.
    EXPECT_EQ(TypeParam::next32(filled), TypeParam::next32(drawn));
  }
  for (int size : {312, 500, 2500}) {
    SCOPED_TRACE(size);
    SfmtState filled, drawn;
    sfmt_seed(filled, 1234);
    sfmt_seed(drawn, 1234);
    alignas(16) static uint64_t array[2500];
    for (int round = 0; round < 2; ++round) {
      TypeParam::fill64(filled, array, size);
      for (int i = 0; i < size; ++i) ASSERT_EQ(array[i], TypeParam::next64(drawn)) << round << " " << i;
    }
    EXPECT_EQ(TypeParam::next64(filled), TypeParam::next64(drawn));
  }
  // After seeding, 1000 filled words are the stream's first 1000: the 1001st
  // draw of seed 1234 follows.
  SfmtState s;
  sfmt_seed(s, 1234);
  alignas(16) static uint32_t thousand[1000];
  TypeParam::fill32(s, thousand, 1000);
  EXPECT_EQ(thousand[0], 3440181298u);
  EXPECT_EQ(thousand[999], 1168395933u);
  SfmtState reference;
  sfmt_seed(reference, 1234);
  for (int i = 0; i < 1000; ++i) TypeParam::next32(reference);
  EXPECT_EQ(TypeParam::next32(s), TypeParam::next32(reference));
}

// The cursor yields the draw's words over several regenerations and leaves
// the state where the draw would.
TYPED_TEST(SfmtBuild, CursorMatchesTheDraw) {
  using F = typename TypeParam::Family;
  const uint32_t key[4] = {1, 2, 3, 4};
  F::seed(key);
  SfmtState reference = F::state;
  {
    typename F::Cursor draw;
    for (int i = 0; i < 5 * N32 + 7; ++i) ASSERT_EQ(draw.next32(), TypeParam::next32(reference)) << i;
  }
  EXPECT_EQ(F::state.idx, reference.idx);
  EXPECT_EQ(std::memcmp(F::state.words, reference.words, sizeof reference.words), 0);
  EXPECT_EQ(F::next32(), TypeParam::next32(reference));
}

// Each failing check ends the process abnormally with its condition text,
// reported from the unit SFMT by the operation that checked it.
TYPED_TEST(SfmtBuild, FailedChecksAbortWithTheirConditionText) {
  using F = typename TypeParam::Family;
  alignas(16) static uint32_t words[1004];
  alignas(16) static uint64_t longs[312];
  struct Case {
    const char* name;
    bool seeded;
    int draws32;  // sfmt_next32 calls after seeding
    std::function<void(SfmtState&)> call;
    const char* operation;
    const char* condition;
  } cases[] = {
      {"next32 unseeded", false, 0, [](SfmtState& s) { TypeParam::next32(s); }, "sfmt_next32",
       "initialized"},
      {"next64 unseeded", false, 0, [](SfmtState& s) { TypeParam::next64(s); }, "sfmt_next64",
       "initialized"},
      {"fill32 unseeded", false, 0, [](SfmtState& s) { TypeParam::fill32(s, words, 1001); },
       "sfmt_fill32", "initialized"},
      {"fill64 unseeded", false, 0, [](SfmtState& s) { TypeParam::fill64(s, longs, 311); },
       "sfmt_fill64", "initialized"},
      {"next64 at odd idx", true, 1, [](SfmtState& s) { TypeParam::next64(s); }, "sfmt_next64",
       "idx % 2 == 0"},
      {"fill32 after a draw", true, 1, [](SfmtState& s) { TypeParam::fill32(s, words, 1001); },
       "sfmt_fill32", "idx == N32"},
      {"fill32 of 1001", true, 0, [](SfmtState& s) { TypeParam::fill32(s, words, 1001); },
       "sfmt_fill32", "size % 4 == 0"},
      {"fill32 of 620", true, 0, [](SfmtState& s) { TypeParam::fill32(s, words, 620); },
       "sfmt_fill32", "size >= N32"},
      {"fill32 of -4", true, 0, [](SfmtState& s) { TypeParam::fill32(s, words, -4); },
       "sfmt_fill32", "size >= N32"},
      {"fill64 after two draws", true, 2, [](SfmtState& s) { TypeParam::fill64(s, longs, 312); },
       "sfmt_fill64", "idx == N32"},
      {"fill64 of 311", true, 0, [](SfmtState& s) { TypeParam::fill64(s, longs, 311); },
       "sfmt_fill64", "size % 2 == 0"},
      {"fill64 of 310", true, 0, [](SfmtState& s) { TypeParam::fill64(s, longs, 310); },
       "sfmt_fill64", "size >= N64"},
      {"cursor unseeded", false, 0, [](SfmtState&) { typename F::Cursor draw; }, "sfmt_next32",
       "initialized"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SfmtState s;
    if (c.seeded) sfmt_seed(s, 1234);
    for (int i = 0; i < c.draws32; ++i) TypeParam::next32(s);
    const std::string report =
        std::string("SFMT:[0-9]+: ") + c.operation + ": Assertion `" + c.condition + "' failed";
    EXPECT_EXIT(
        {
          F::state = s;
          c.call(s);
        },
        testing::KilledBySignal(SIGABRT), report);
  }
}

TYPED_TEST(SfmtBuild, PassingChecksLeaveTheStreamAlone) {
  // After exactly one state's worth of draws a fill is accepted again.
  SfmtState s, reference;
  sfmt_seed(s, 99);
  sfmt_seed(reference, 99);
  for (int i = 0; i < N32; ++i) TypeParam::next32(s);
  alignas(16) static uint32_t array[N32];
  TypeParam::fill32(s, array, N32);
  for (int i = 0; i < N32; ++i) TypeParam::next32(reference);
  for (int i = 0; i < N32; ++i) ASSERT_EQ(array[i], TypeParam::next32(reference)) << i;
}

TEST(Sfmt, CertificationFlipsBitZeroOfWordZeroWhenTheParityFails) {
  struct Case {
    uint32_t seed;
    uint32_t word0;
  } cases[] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}};
  for (const Case& c : cases) {
    SfmtState s;
    sfmt_seed(s, c.seed);
    EXPECT_EQ(s.words[0], c.word0) << c.seed;
    const SfmtState certified = s;
    sfmt_certify(s);  // a certified state passes unchanged
    EXPECT_EQ(std::memcmp(s.words, certified.words, sizeof s.words), 0) << c.seed;
  }
}

TEST(Sfmt, Queries) {
  EXPECT_STREQ(sfmt_id_string(), "SFMT-19937:122-18-1-11-1:dfffffef-ddfecb7f-bffaffff-bffffff6");
  EXPECT_EQ(sfmt_min_size32(), 624);
  EXPECT_EQ(sfmt_min_size64(), 312);
  EXPECT_EQ(alignof(SfmtState), 16u);
}

// The two builds agree word for word and leave the same state, over many
// regenerations mixed with 64-bit draws and fills of several sizes, whatever
// the key length; the SSE2 fill of an unaligned array falls back to the same
// words.
TEST(Sfmt, PortableAndSse2BuildsAgree) {
  std::vector<uint32_t> key;
  alignas(16) static uint32_t a32[2 * 4096 + 4], b32[2 * 4096 + 4];
  alignas(16) static uint64_t a64[2048 + 2], b64[2048 + 2];
  for (int length : {0, 1, 4, 623, 624, 625, 2000}) {
    SCOPED_TRACE(length);
    key.resize(length);
    for (int i = 0; i < length; ++i) key[i] = 0x9e3779b9u * static_cast<uint32_t>(i + length);
    SfmtState p, v;
    sfmt_seed_array(p, key.data(), length);
    sfmt_seed_array(v, key.data(), length);
    for (int round = 0; round < 6; ++round) {
      for (int i = 0; i < 3 * N32 + 2; ++i) ASSERT_EQ(sfmt_portable::sfmt_next32(p), sfmt_sse2::sfmt_next32(v));
      for (int i = 0; i < N32 / 2 + 5; ++i) ASSERT_EQ(sfmt_portable::sfmt_next64(p), sfmt_sse2::sfmt_next64(v));
      // Use up the state so that a fill is accepted.
      while (p.idx < N32) ASSERT_EQ(sfmt_portable::sfmt_next32(p), sfmt_sse2::sfmt_next32(v));
      const int size32 = 624 + 4 * 97 * round;
      const int offset = round % 2;  // odd rounds hand the SSE2 fill an unaligned array
      sfmt_portable::sfmt_fill32(p, a32, size32);
      sfmt_sse2::sfmt_fill32(v, b32 + offset, size32);
      ASSERT_EQ(std::memcmp(a32, b32 + offset, size32 * sizeof(uint32_t)), 0) << round;
      const int size64 = 312 + 2 * 113 * round;
      sfmt_portable::sfmt_fill64(p, a64, size64);
      sfmt_sse2::sfmt_fill64(v, b64 + offset, size64);
      ASSERT_EQ(std::memcmp(a64, b64 + offset, size64 * sizeof(uint64_t)), 0) << round;
      ASSERT_EQ(std::memcmp(p.words, v.words, sizeof p.words), 0) << round;
      ASSERT_EQ(p.idx, v.idx);
    }
  }
}

TEST(Sfmt, FamiliesSeedFromTheFourWordsWithTheirOwnTags) {
  const uint32_t key[4] = {0x1234, 0x5678, 0x9abc, 0xdef0};
  Sfmt::seed(key);
  SfmtSse2::seed(key);
  EXPECT_EQ(Sfmt::next32(), 2920711183u);
  EXPECT_EQ(SfmtSse2::next32(), 2920711183u);
  EXPECT_STREQ(Sfmt::tag, "sfmt");
  EXPECT_STREQ(SfmtSse2::tag, "sfSSE2");
}

}  // namespace
