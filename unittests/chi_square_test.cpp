#include "tests/chi_square.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "unittests/fixtures.h"

namespace {

template <class Test, class F>
void count_trial(ChiBins& bins, uint32_t values) {
  typename F::Cursor draw;
  chi_square_count<Test>(draw, bins, values);
}

std::string chi_sq_text(const ChiBins& bins) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", chi_square_statistic(bins));
  return text;
}

int filled_bins(const ChiBins& bins) {
  int n = 0;
  for (uint32_t c : bins) n += c != 0;
  return n;
}

// A constant word puts every value of a full trial in one bin.
template <class Test>
void expect_constant_word_fills_one_bin(uint32_t expected_bin) {
  ChiBins bins = {};
  count_trial<Test, ConstantFamily<0xa123456bu>>(bins, CHI_VALUES_PER_TRIAL);
  EXPECT_EQ(bins[expected_bin], CHI_VALUES_PER_TRIAL) << Test::name;
  EXPECT_EQ(filled_bins(bins), 1) << Test::name;
  EXPECT_EQ(chi_square_sum(bins, CHI_EXPECTED_PER_BIN), 65280000000000000ull);
  EXPECT_EQ(chi_sq_text(bins), "65280000000.000000");
}

TEST(ChiSquare, ConstantWordFillsOneBinOfEachTest) {
  // The nibble of the first draw is always the high nibble of the bin.
  expect_constant_word_fills_one_bin<ChiTest6>(0xaa);  // top, top
  expect_constant_word_fills_one_bin<ChiTest7>(0xbb);  // low, low
  expect_constant_word_fills_one_bin<ChiTest8>(0xab);  // top, low of one word
}

// The 256 (high, low) nibble pairs in order, two words a pair; each word has
// equal top and low nibbles.
uint32_t all_pairs[512];
using AllPairs = TableFamily<all_pairs, 512>;

void fill_all_pairs() {
  for (int i = 0; i < 512; ++i) {
    const uint32_t nibble = i % 2 == 0 ? (i / 2) / 16 : (i / 2) % 16;
    all_pairs[i] = nibble * 0x10000001u;
  }
  AllPairs::seed(0, 0);
}

TEST(ChiSquare, ExactlyUniformCountsGiveZero) {
  fill_all_pairs();
  for (bool chi6 : {false, true}) {
    ChiBins bins = {};
    if (chi6)
      count_trial<ChiTest6, AllPairs>(bins, CHI_VALUES_PER_TRIAL);
    else
      count_trial<ChiTest7, AllPairs>(bins, CHI_VALUES_PER_TRIAL);
    for (uint32_t c : bins) ASSERT_EQ(c, CHI_EXPECTED_PER_BIN);
    EXPECT_EQ(chi_sq_text(bins), "0.000000");
  }
}

TEST(ChiSquare, Test8WithEqualNibblesFillsOnlyTheDiagonal) {
  fill_all_pairs();
  ChiBins bins = {};
  count_trial<ChiTest8, AllPairs>(bins, 512 * 1000);
  EXPECT_EQ(filled_bins(bins), 16);
  for (int n = 0; n < 16; ++n) EXPECT_EQ(bins[n * 17], 32000u) << n;
}

TEST(ChiSquare, ValuesNeverShareDraws) {
  // Counter words 0, 1, 2, 3, ...: ChiTest7 pairs (0,1), (2,3), ... so the
  // high nibble is always even and the low one always odd.
  CounterFamily::seed(0, 0);
  ChiBins bins = {};
  count_trial<ChiTest7, CounterFamily>(bins, 8000);
  for (int i = 0; i < 256; ++i) {
    const bool even_then_odd = (i >> 4) % 2 == 0 && (i & 15) % 2 == 1 && (i & 15) == (i >> 4) + 1;
    EXPECT_EQ(bins[i], even_then_odd ? 1000u : 0u) << i;
  }
  EXPECT_EQ(CounterFamily::next, 16000u);  // two draws a value, state written back
}

TEST(ChiSquare, ResultLineFormat) {
  struct Case {
    int k;
    double chi;
    SeedRecord seeds;
    double seconds;
    const char* line;
  } cases[] = {
      {0, 255.5, {{0xdeadbeef, 0x1, 0, 0}}, 1.5,
       " k=     0 ChiSq= 255.500000\t\tdeadbeef,1,0,0\t 1.500 sec\n"},
      {999, 0.0, {{0, 0xffffffff, 0x12, 0xabc}}, 7283.4567,
       " k=   999 ChiSq= 0.000000\t\t0,ffffffff,12,abc\t 7283.457 sec\n"},
  };
  for (const Case& c : cases) {
    ChiLine line;
    format_chi_line(line, c.k, c.chi, c.seeds, c.seconds);
    EXPECT_EQ(std::string(line.data(), line.size()), c.line);
  }
}

}  // namespace
