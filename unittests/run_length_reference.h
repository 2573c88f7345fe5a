// The run-length counters written the plain way, one bit and one branch at a
// time straight into SplitCounts: the yardstick the fast counters must match
// (in unit tests) and beat (in benchmarks).
#pragma once
#include <cstdint>

#include "tests/run_length.h"

// Counts runs bit by bit, oldest first.
struct PlainRunCounter {
  RunTables tables;
  uint32_t bit = 0;
  int64_t run = 0;

  void start(uint32_t first_bit) {
    bit = first_bit;
    run = 1;
  }
  void add_bit(uint32_t b) {
    if (b == bit) {
      ++run;
    } else {
      RunTable& table = bit != 0 ? tables.one_runs : tables.zero_runs;
      table.slot[run > 63 ? 63 : run].increment();
      run = 1;
    }
    bit = b;
  }
  // Bit 0 to bit 31 of a word.
  void add_word(uint32_t w) {
    for (int i = 0; i < 32; ++i) add_bit((w >> i) & 1);
  }
};

// One trial of LenTest03, draw by draw.
template <class F>
PlainRunCounter plain_len03(int bit_index, int passes, uint32_t draws_per_pass) {
  const uint32_t mask = uint32_t{1} << bit_index;
  PlainRunCounter plain;
  plain.start((F::next32() & mask) != 0);
  typename F::Cursor draw;
  for (uint64_t i = 0; i < uint64_t{draws_per_pass} * passes; ++i)
    plain.add_bit((draw.next32() & mask) != 0);
  return plain;
}

// One trial of LenTestSer, bit by bit.
template <class F>
PlainRunCounter plain_lenser(int passes, uint32_t words_per_pass) {
  PlainRunCounter plain;
  plain.start(F::next32() >> 31);
  typename F::Cursor draw;
  for (uint64_t i = 0; i < uint64_t{words_per_pass} * passes; ++i) plain.add_word(draw.next32());
  return plain;
}
