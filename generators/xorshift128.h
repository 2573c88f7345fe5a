// xorshift128 (shifts 11, 19, 8; period 2^128 - 1) with the suite's seedings.
// The step is inline; the seedings are in xorshift128.cpp.
#pragma once
#include <cstdint>

#include "generators/family.h"

struct Xor128State {
  // Oldest to newest; w is the most recent output. Published initial values.
  uint32_t x = 123456789;
  uint32_t y = 362436069;
  uint32_t z = 521288629;
  uint32_t w = 88675123;
};

// One step on four words held anywhere (state fields or a loop's locals).
[[gnu::always_inline]] inline uint32_t xor128_step(uint32_t& x, uint32_t& y, uint32_t& z,
                                                   uint32_t& w) {
  const uint32_t t = x ^ (x << 11);
  x = y;
  y = z;
  z = w;
  w = w ^ (w >> 19) ^ t ^ (t >> 8);
  return w;
}

inline uint32_t xor128_next32(Xor128State& s) { return xor128_step(s.x, s.y, s.z, s.w); }

void xor128_seed2(Xor128State& s, uint32_t k0, uint32_t k1);
void xor128_seed2_fold(Xor128State& s, uint32_t k0, uint32_t k1);
void xor128_seed4(Xor128State& s, uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3);

// The family of every xorshift128 program but lenser-xor.
struct Xor128 {
  static constexpr const char* tag = "xor";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_value;
  static inline Xor128State state;

  static void seed(uint32_t k0, uint32_t k1) { xor128_seed2(state, k0, k1); }
  static uint32_t next32() { return xor128_next32(state); }

  class Cursor {
   public:
    Cursor() : x_(state.x), y_(state.y), z_(state.z), w_(state.w) {}
    ~Cursor() { state = {x_, y_, z_, w_}; }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    [[gnu::always_inline]] uint32_t next32() { return xor128_step(x_, y_, z_, w_); }

   private:
    uint32_t x_, y_, z_, w_;
  };
};

// lenser-xor seeds with the folded two-word derivation; all else is Xor128.
struct Xor128Fold : Xor128 {
  static void seed(uint32_t k0, uint32_t k1) { xor128_seed2_fold(state, k0, k1); }
};
