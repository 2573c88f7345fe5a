// The word stream: the ChiTest7 kernel on words read from a file in the page
// cache, in ns per draw (the read copy included), beside the same kernel on
// xorshift128 (BM_ChiKernel<Xor128, ChiTest7> in draws_bench.cpp). The whole
// pipe from rngstream into rngtest is timed by bench/rngtest_pipe.sh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "bench/bench_common.h"
#include "generators/word_stream.h"
#include "generators/xorshift128.h"
#include "tests/chi_square.h"

namespace {

constexpr uint32_t WORDS = 1 << 24;  // 64 MiB: many fills

int xor_word_file() {
  Xor128State s;
  xor128_seed2(s, 1, 1);
  std::vector<uint32_t> words(WORDS);
  for (uint32_t& w : words) w = xor128_next32(s);
  char name[] = "/tmp/word-stream-bench-XXXXXX";
  const int fd = mkstemp(name);
  unlink(name);
  if (write(fd, words.data(), WORDS * 4) != WORDS * 4) std::abort();
  return fd;
}

void BM_WordStreamChiKernel7(benchmark::State& st) {
  static const int fd = xor_word_file();
  for (auto _ : st) {
    lseek(fd, 0, SEEK_SET);
    stream_open(WordStream::state, fd);
    ChiBins bins = {};
    {
      WordStream::Cursor draw;
      chi_square_count<ChiTest7>(draw, bins, WORDS / 2);
    }
    benchmark::DoNotOptimize(bins);
  }
  set_ns_per_draw(st, WORDS);
}
BENCHMARK(BM_WordStreamChiKernel7);

}  // namespace
