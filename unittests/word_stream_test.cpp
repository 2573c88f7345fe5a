#include "generators/word_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "generators/xorshift128.h"
#include "harness/reseed.h"
#include "tests/bit_transition.h"
#include "tests/chi_square.h"
#include "tests/lag.h"
#include "tests/run_length.h"

namespace {

// xorshift128 words from seed2(k0, k1), and their little-endian bytes.
std::vector<uint32_t> xor_words(size_t count, uint32_t k0 = 1, uint32_t k1 = 1) {
  Xor128State s;
  xor128_seed2(s, k0, k1);
  std::vector<uint32_t> words(count);
  for (uint32_t& w : words) w = xor128_next32(s);
  return words;
}

std::string little_endian(const std::vector<uint32_t>& words) {
  std::string bytes;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(w >> (8 * i));
  return bytes;
}

// A file holding `bytes`, opened for reading and unlinked at once.
int file_with(const std::string& bytes) {
  char name[] = "/tmp/word-stream-XXXXXX";
  const int fd = mkstemp(name);
  unlink(name);
  if (write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  lseek(fd, 0, SEEK_SET);
  return fd;
}

void open_stream(int fd) { stream_open(WordStream::state, fd); }

// Several fills, read through cursors of varied length and single draws.
TEST(WordStream, YieldsLittleEndianWordsInOrderAcrossFills) {
  const std::vector<uint32_t> words = xor_words(STREAM_BUFFER_WORDS * 5 / 2);
  const int fd = file_with(little_endian(words));
  open_stream(fd);
  size_t i = 0;
  for (size_t chunk = 1; i < words.size(); chunk = chunk * 3 + 1) {
    {
      WordStream::Cursor draw;
      for (size_t n = 0; n < chunk && i < words.size(); ++n, ++i)
        ASSERT_EQ(draw.next32(), words[i]) << i;
    }
    if (i < words.size()) {
      ASSERT_EQ(WordStream::next32(), words[i]) << i;
      ++i;
    }
    ASSERT_EQ(stream_words_read(WordStream::state), i);
  }
  close(fd);
}

// The same words through a pipe whose writer sends pieces of 1 to 7 bytes and
// whose reader is interrupted by a timer signal (no restart): the kernel
// counts exactly what it counts on the whole file.
volatile sig_atomic_t interrupts = 0;

TEST(WordStream, OddSizedPiecesAndInterruptedReadsGiveTheSameResult) {
  constexpr uint32_t values = STREAM_BUFFER_WORDS * 3 / 4;  // 1.5 fills for ChiTest7
  const std::string bytes = little_endian(xor_words(2 * values, 7, 9));

  const int fd = file_with(bytes);
  open_stream(fd);
  ChiBins whole = {};
  {
    WordStream::Cursor draw;
    chi_square_count<ChiTest7>(draw, whole, values);
  }
  close(fd);

  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::thread writer([&] {
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
    static constexpr size_t pieces[] = {3, 5, 7, 1, 3, 6, 2};
    size_t at = 0;
    for (size_t k = 0; at < bytes.size(); ++k) {
      const size_t n = std::min(pieces[k % 7], bytes.size() - at);
      if (write(ends[1], bytes.data() + at, n) != static_cast<ssize_t>(n)) std::abort();
      at += n;
    }
    close(ends[1]);
  });
  struct sigaction on_alarm = {};
  on_alarm.sa_handler = [](int) { interrupts = interrupts + 1; };
  sigaction(SIGALRM, &on_alarm, nullptr);  // no SA_RESTART: a blocked read fails with EINTR
  const itimerval every_100us = {{0, 100}, {0, 100}};
  setitimer(ITIMER_REAL, &every_100us, nullptr);

  open_stream(ends[0]);
  ChiBins pieces = {};
  {
    WordStream::Cursor draw;
    chi_square_count<ChiTest7>(draw, pieces, values);
  }
  const itimerval stop = {};
  setitimer(ITIMER_REAL, &stop, nullptr);
  signal(SIGALRM, SIG_DFL);
  writer.join();
  close(ends[0]);
  for (int b = 0; b < 256; ++b) ASSERT_EQ(pieces[b], whole[b]) << b;
  EXPECT_GT(interrupts, 0);
}

// The chi-square kernels draw the same words from a file of xorshift128 words
// as from the generator itself, over more than one fill.
template <class Test>
void expect_kernel_matches_generator() {
  const uint32_t values = STREAM_BUFFER_WORDS + 1000;
  const std::vector<uint32_t> words = xor_words(Test::draws * values, 3, 4);
  const int fd = file_with(little_endian(words));
  open_stream(fd);
  ChiBins from_stream = {};
  {
    WordStream::Cursor draw;
    chi_square_count<Test>(draw, from_stream, values);
  }
  close(fd);
  Xor128::seed(3, 4);
  ChiBins from_generator = {};
  {
    Xor128::Cursor draw;
    chi_square_count<Test>(draw, from_generator, values);
  }
  for (int b = 0; b < 256; ++b) ASSERT_EQ(from_stream[b], from_generator[b]) << Test::name << b;
}

TEST(WordStream, ChiSquareKernelsMatchTheGenerator) {
  expect_kernel_matches_generator<ChiTest6>();
  expect_kernel_matches_generator<ChiTest7>();
  expect_kernel_matches_generator<ChiTest8>();
}

// The kernels of the other tests, on reduced sizes of a little more than one
// fill: the stream of a file of xorshift128 words against the generator.
constexpr size_t KERNEL_WORDS = 310000;

template <class Kernel>
void expect_same_from_stream_and_generator(const Kernel& kernel) {
  const int fd = file_with(little_endian(xor_words(KERNEL_WORDS, 11, 13)));
  open_stream(fd);
  const auto from_stream = kernel.template operator()<WordStream>();
  close(fd);
  Xor128::seed(11, 13);
  const auto from_generator = kernel.template operator()<Xor128>();
  EXPECT_EQ(from_stream, from_generator);
  EXPECT_GT(stream_words_read(WordStream::state), STREAM_BUFFER_WORDS);
}

std::vector<double> run_counts(const RunTables& tables, int64_t open_run) {
  std::vector<double> counts = {static_cast<double>(open_run)};
  for (int slot = 1; slot < RUN_SLOTS; ++slot) {
    counts.push_back(tables.zero_runs.slot[slot].value());
    counts.push_back(tables.one_runs.slot[slot].value());
  }
  return counts;
}

TEST(WordStream, RunLengthTransitionAndLagKernelsMatchTheGenerator) {
  {
    SCOPED_TRACE("len03");
    expect_same_from_stream_and_generator([]<class F>() {
      RunTables tables;
      const int64_t open_run = len03_count<F>(tables, 5, 2, 150000);
      return run_counts(tables, open_run);
    });
  }
  {
    SCOPED_TRACE("lenser");
    expect_same_from_stream_and_generator([]<class F>() {
      RunTables tables;
      const int64_t open_run = lenser_count<F>(tables, 2, 150001);
      return run_counts(tables, open_run);
    });
  }
  {
    SCOPED_TRACE("pair");
    expect_same_from_stream_and_generator([]<class F>() {
      TransitionCounts counts;
      typename F::Cursor draw;
      bit_transition_count(draw, counts, 55, 3000);
      return std::vector<int64_t>{counts.zero_zero(), counts.zero_one(), counts.one_one(),
                                  counts.one_zero()};
    });
  }
  {
    SCOPED_TRACE("lag");
    expect_same_from_stream_and_generator([]<class F>() {
      std::vector<uint64_t> sums;
      static LagPairCounts counts;
      lag_trial<F>(counts, 2, 9, [&](int, int, uint64_t sum) { sums.push_back(sum); });
      return sums;
    });
  }
}

// A run as the tests make it: reseeds (through the harness) and trials of a
// few draws each, on an input of `bytes`.
struct Script {
  const char* name;
  std::string bytes;
  std::vector<int> reseeds_then_draws;  // a negative entry is that many reseeds
  const char* message;                  // the expected standard-error line
};

void play(const Script& s) {
  const int fd = file_with(s.bytes);
  open_stream(fd);
  for (int step : s.reseeds_then_draws) {
    for (int n = 0; n < -step; ++n) reseed<WordStream>();
    WordStream::Cursor draw;
    for (int n = 0; n < step; ++n) draw.next32();
  }
  std::exit(0);
}

TEST(WordStreamDeathTest, InputEndingMidTrialNamesTheWordsAndTheTrialAndExits3) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string eleven = little_endian(xor_words(11));
  const Script scripts[] = {
      {"empty input", "", {-2, 5}, "input ended after 0 words, 0 of them in trial 1,"},
      {"incomplete last word",
       eleven.substr(0, 42),
       {-1, 20},
       "input ended after 10 words and 2 bytes of an incomplete word, 10 of them in trial 1,"},
      // Reseeds before the first trial, or twice in a row, start one trial.
      {"third trial cut short",
       eleven,
       {-2, 4, -1, 4, -2, 4},
       "input ended after 11 words, 3 of them in trial 3,"},
      {"input ends with a trial",
       eleven.substr(0, 32),
       {-1, 4, -1, 4, -1, 1},
       "input ended after 8 words, 0 of them in trial 3,"},
  };
  for (const Script& s : scripts) {
    SCOPED_TRACE(s.name);
    EXPECT_EXIT(play(s), testing::ExitedWithCode(STREAM_CUT_SHORT_STATUS),
                std::string("^rngtest: ") + s.message + " which is cut short and not reported\n$");
  }
  // Input that ends exactly where the last trial does is complete.
  EXPECT_EXIT(play({"complete", eleven.substr(0, 32), {-1, 4, -1, 4}, ""}),
              testing::ExitedWithCode(0), "^$");
}

TEST(WordStreamDeathTest, AFailedReadIsReportedLikeTheEndOfInput) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        open_stream(open("/", O_RDONLY | O_DIRECTORY));
        reseed<WordStream>();
        WordStream::next32();
      },
      testing::ExitedWithCode(STREAM_CUT_SHORT_STATUS),
      "^rngtest: input ended after 0 words \\(read failed: Is a directory\\), 0 of them in trial "
      "1,");
}

}  // namespace
