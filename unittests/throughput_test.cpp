#include "tests/throughput.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "generators/xorshift128.h"
#include "unittests/fixtures.h"

namespace {

ThroughputLoops loops_for(std::vector<std::string> args) {
  args.insert(args.begin(), "speed-test");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return throughput_loops(static_cast<int>(args.size()), argv.data());
}

TEST(ThroughputLoops, ArgumentsGiveTheLoopCounts) {
  constexpr int32_t largest_jloop = 2147483520;  // 840 x 2556528, the largest multiple that fits
  struct Case {
    std::vector<std::string> args;
    int32_t jLoop, iLoop;
  } cases[] = {
      {{}, 84000, 240001},
      {{"1"}, 840, 240001},
      {{"1", "1"}, 840, 2400},
      {{"2.7", "1"}, 1680, 2400},
      {{"0", "1"}, 840, 2400},
      {{"-5", "1"}, 840, 2400},
      {{"text", "1"}, 840, 2400},
      {{"nan", "nan"}, 840, 2400},
      {{"0.99", "0.99"}, 840, 2400},
      {{"1", "1.5"}, 840, 3600},
      {{"1", "50"}, 840, 120000},
      {{"1", "100"}, 840, 240001},
      {{"1", "-3"}, 840, 2400},
      {{"1", "text"}, 840, 2400},
      {{"7", "1", "ignored"}, 5880, 2400},
      // Largest values that still fit, then values that are clamped to them.
      {{"2556528", "894781"}, largest_jloop, 2147483347},
      {{"2556529", "1"}, largest_jloop, 2400},
      {{"1e300", "1e300"}, largest_jloop, INT32_MAX},
      {{"inf", "inf"}, largest_jloop, INT32_MAX},
      {{"1", "894782"}, 840, INT32_MAX},
  };
  for (const Case& c : cases) {
    const ThroughputLoops loops = loops_for(c.args);
    std::string args;
    for (const std::string& a : c.args) args += a + " ";
    EXPECT_EQ(loops.jLoop, c.jLoop) << args;
    EXPECT_EQ(loops.iLoop, c.iLoop) << args;
  }
}

template <class F>
std::vector<uint32_t> first_outputs_after_fixed_seed(int n) {
  RunState run;
  run.seeds.word[0] = 0x1234;  // overwritten, not added to
  fixed_seed<F>(run);
  const uint32_t expected_words = F::protocol == SeedProtocol::four_words ? 4 : 2;
  for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(run.seeds.word[i], i < expected_words ? 1u : 0u);
  EXPECT_TRUE(run.first_use);  // the benchmark never runs the first-use step
  std::vector<uint32_t> words;
  for (int i = 0; i < n; ++i) words.push_back(F::next32());
  return words;
}

TEST(ThroughputFixedSeed, FirstOutputs) {
  EXPECT_EQ(first_outputs_after_fixed_seed<Xor128>(3),
            (std::vector<uint32_t>{0xd77da142, 0xbe3bf7e7, 0x9351cfdb}));
  EXPECT_EQ(first_outputs_after_fixed_seed<Mt>(3),
            (std::vector<uint32_t>{0x9d66d147, 0x3906675e, 0x4d9f477d}));
  EXPECT_EQ(first_outputs_after_fixed_seed<Rb5u>(3),
            (std::vector<uint32_t>{0xa8b5f407, 0x618c74bc, 0x38f8e053}));
}

// Every shape makes exactly jLoop x iLoop draws, whatever its width.
template <int V>
void expect_draw_count(int32_t jLoop, int32_t iLoop) {
  fixed_seed<CounterFamily>();  // the counter starts at 1
  throughput_shape<CounterFamily, V>(jLoop, iLoop);
  EXPECT_EQ(CounterFamily::next, 1u + static_cast<uint32_t>(jLoop) * iLoop) << "shape " << V;
}

template <size_t... S>
void expect_draw_counts(int32_t jLoop, int32_t iLoop, std::index_sequence<S...>) {
  (expect_draw_count<S + 1>(jLoop, iLoop), ...);
}

TEST(ThroughputShapes, EveryShapeMakesTheSameNumberOfDraws) {
  expect_draw_counts(840, 3, std::make_index_sequence<8>{});
  expect_draw_counts(1680, 1, std::make_index_sequence<8>{});
}

// The next word after any shape of `1 1` is the program's check value.
template <class F, int V>
void expect_check_value_after_shape(uint32_t check) {
  const ThroughputLoops loops = {840, 2400};
  fixed_seed<F>();
  throughput_shape<F, V>(loops.jLoop, loops.iLoop);
  EXPECT_EQ(F::next32(), check) << F::tag << " shape " << V;
}

template <class F, size_t... S>
void expect_check_values(uint32_t check, std::index_sequence<S...>) {
  (expect_check_value_after_shape<F, S + 1>(check), ...);
}

TEST(ThroughputShapes, CheckValueAfterEachShape) {
  expect_check_values<Xor128>(0xdc6a48cf, std::make_index_sequence<8>{});
  expect_check_values<Mt>(0xf091f470, std::make_index_sequence<8>{});
  expect_check_values<Rb5u>(0xac012022, std::make_index_sequence<8>{});
}

// A family whose cursor skips: the benchmark must use skip(), not next32().
struct SkippingFamily {
  static constexpr const char* tag = "skip";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_reference;
  static inline uint32_t skips = 0, words = 0;
  static void seed(uint32_t&, uint32_t&) { skips = words = 0; }
  static uint32_t next32() { return ++words; }
  struct Cursor {
    void skip() { ++skips; }
    uint32_t next32() { return ++words; }
  };
};

TEST(ThroughputShapes, CursorThatCanSkipIsSkipped) {
  fixed_seed<SkippingFamily>();
  throughput_shape<SkippingFamily, 5>(840, 2);
  EXPECT_EQ(SkippingFamily::skips, 1680u);
  EXPECT_EQ(SkippingFamily::words, 0u);
}

TEST(ThroughputOutput, ShapeLine) {
  ThroughputLine line;
  format_shape_line(line, 3, 12.3456, throughput_rate({84000, 240001}, 12.3456));
  EXPECT_STREQ(line.data(), "3:   12.346 sec\t        0 \t1.633e+09 counts/sec\n");
}

TEST(ThroughputOutput, SummaryOfFiniteRates) {
  const double seconds[8] = {1, 2, 0.5, 0.25, 4, 1, 1, 0.001};
  double rates[8];
  for (int v = 0; v < 8; ++v) rates[v] = throughput_rate({840, 2400}, seconds[v]);
  TextBuffer<256> text;
  format_summary(text, seconds, rates, 0xdc6a48cf);
  // Rates 2016000 x (1, 0.5, 2, 4, 0.25, 1, 1, 1000): sum 1009.75 x 2016000.
  EXPECT_STREQ(text.data(),
               "Total time= 9.751 sec\n"
               "  Ave= \t2.545e+08\t counts/sec\n"
               "  Max= \t2.016e+09\t counts/sec\n"
               "dc6a48cf\n"
               "-------------------\n");
}

TEST(ThroughputOutput, ShapeFasterThanAMillisecondHasAnInfiniteRate) {
  const double seconds[8] = {0.002, 0, 0.001, 0.001, 0.001, 0.001, 0.001, 0.001};
  double rates[8];
  for (int v = 0; v < 8; ++v) rates[v] = throughput_rate({840, 2400}, seconds[v]);
  ThroughputLine line;
  format_shape_line(line, 2, seconds[1], rates[1]);
  EXPECT_STREQ(line.data(), "2:    0.000 sec\t        0 \tinf counts/sec\n");
  TextBuffer<256> text;
  format_summary(text, seconds, rates, 0xac012022);
  EXPECT_STREQ(text.data(),
               "Total time= 0.008 sec\n"
               "  Ave= \tinf\t counts/sec\n"
               "  Max= \tinf\t counts/sec\n"
               "ac012022\n"
               "-------------------\n");
}

}  // namespace
