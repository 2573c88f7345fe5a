// What the Rb5u and Rb3w families share: the 127-word block with its lag-4
// multiply-add chain and per-position multipliers, the xorshift128
// sub-generator, the 1024-word mixing table, the output formula, the seeding
// up to its final multiplier permutation, the draw, the real-valued outputs and
// the family type with its hot-loop cursor. The families differ only in their
// refill tail and in that permutation (rb5u.h, rb3w.h).
//
// Each family has two builds: the portable one (global functions) and the
// SSE4.1 one (namespace sse4), which computes the chain four words at a time
// and gives the same words bit for bit. Both link into one binary; only the
// SSE4.1 sources run vector code beyond the x86-64 baseline.
#pragma once
#include <cstddef>
#include <cstdint>

#include "generators/family.h"
#include "generators/xorshift128.h"
#include "harness/clock.h"

inline constexpr int RB_WORDS = 127;  // block words drawn per refill
inline constexpr int RB_LAST_POS = RB_WORDS - 1;
inline constexpr int RB_MIX_WORDS = 1024;         // mixing table, indexed modulo 1024
inline constexpr int32_t RB_REMIX_PERIOD = 2129;  // refills from one remix to the next

// The multiplier of each block position at seeding: all odd, all distinct.
inline constexpr uint32_t RB_MULT_CONSTANTS[RB_WORDS] = {
    0xA289373B, 0xA8B6693B, 0xACE35159, 0xA6A2339D, 0xAB2D88AB, 0xA4C8ADB5, 0xAB5456A7, 0xA3344BA7,
    0xAC6D1D15, 0xAACA4AAB, 0xAD25474B, 0xA719A925, 0xAE7226B1, 0xA6555331, 0xACB912D3, 0xA25B1B63,
    0xA949D6CD, 0xAA2A9197, 0xA6ADC91D, 0xADA89AA7, 0xAE935371, 0xA5C4C973, 0xAC5D22E9, 0xA31662B7,
    0xAB1D91B5, 0xAE4A544B, 0xA66549D3, 0xA96691C5, 0xAE2559B3, 0xAD59948D, 0xA3732C97, 0xA2B58B1D,
    0xA6E95CB1, 0xAD4A3A27, 0xA2CA572B, 0xA9277459, 0xAA36E2E9, 0xA24C5C67, 0xA5545729, 0xA2352D8D,
    0xAD15525B, 0xAD93551D, 0xA899B8AB, 0xA36531B7, 0xAE5A2D17, 0xA514EEA3, 0xA633AB2D, 0xACCE54CD,
    0xA4E56B11, 0xA475AE27, 0xAB11B8C7, 0xA58EDA47, 0xA56466E7, 0xAB692293, 0xA2D6B8E9, 0xA648CCE5,
    0xA73923B1, 0xA2A9133B, 0xA59C9565, 0xA57254CD, 0xA88A9755, 0xAEECCA91, 0xA8E8B4AB, 0xA4965CAB,
    0xA7638AD5, 0xA6D48D95, 0xAC9998B3, 0xA298D8AD, 0xA3922EA3, 0xAD335A45, 0xA6C5CCD3, 0xA6735B29,
    0xA22236E7, 0xA729A239, 0xA26B3B31, 0xAE338D17, 0xA8A9D2A9, 0xAB8D4C63, 0xA9B1896D, 0xA3A2553B,
    0xA99349A7, 0xA448EEEB, 0xA9569193, 0xA69235C9, 0xAA594B75, 0xA35538CD, 0xA326AEB3, 0xA4B44DCD,
    0xA74E8D11, 0xAEC9198D, 0xAA88D175, 0xA4D5631B, 0xA91739A7, 0xA9752329, 0xA8D8AAA7, 0xADC8EA39,
    0xA9A345D5, 0xAAA5588B, 0xA8CB2D4B, 0xACA972B3, 0xABA2AC57, 0xA2E6AB8D, 0xA4693A37, 0xA4A69D75,
    0xAEA894D3, 0xA626AE59, 0xA93528E5, 0xA3AE45D3, 0xAC514E8D, 0xA532CE51, 0xA348B9CB, 0xAA4BA559,
    0xA458DD17, 0xA5256CDB, 0xAB45B723, 0xA9C76273, 0xABB99263, 0xA9D65691, 0xAA9551BB, 0xA5D2B471,
    0xAAB3899B, 0xA546AACB, 0xAD71A5A3, 0xA5AC58C5, 0xAAD9A2E5, 0xAA694DD3, 0xAC8C9727,
};

// The state of both families. Values at program start: all zero but pos 0,
// remix_countdown 1, the published xorshift128 start words and first_seed.
struct RbState {
  // 127 output words, read from 126 down to 0, then slot 127: scratch that
  // the vector chain writes at every refill and no draw reads.
  uint32_t block[RB_WORDS + 1] = {};
  int32_t pos = 0;  // counts down: a draw decrements, then reads block[pos]
  uint32_t addend = 0;
  alignas(16) uint32_t mult[RB_WORDS] = {};  // the vector chain loads 4 at a time
  uint32_t inc = 0;
  uint32_t mix[RB_MIX_WORDS] = {};
  int32_t remix_countdown = 1;
  Xor128State sub;
  bool first_seed = true;
};

// The sub-generator is xorshift128; its two-word seeding is the folded one.
inline uint32_t rb_sub_step(RbState& s) { return xor128_next32(s.sub); }
inline void rb_sub_seed(RbState& s, uint32_t a, uint32_t b) { xor128_seed2_fold(s.sub, a, b); }
inline uint32_t rb_sub_nonzero(RbState& s) {
  uint32_t v;
  do v = rb_sub_step(s);
  while (v == 0);
  return v;
}
void rb_load_mult(RbState& s);

[[gnu::always_inline]] inline uint32_t rb_output(uint32_t a, uint32_t addend) {
  return (a + addend) ^ (a >> 13);
}

// The portable chain: position p gets the newest word of position (p - 4)
// mod 127 times that position's multiplier plus inc, in the order 4..126,
// 0..3. Compiled once for both families (rb_common.cpp).
void rb_chain(RbState& s);

// The remix's table pass: 127 consecutive table entries (mod 1024) from
// `base` are xored with `xor_word` and added to the block words in order.
void rb_mix_into_block(RbState& s, uint32_t xor_word, uint32_t base);

// Seeding steps up to the final permutation of the multipliers: loads mult,
// replaces zero seed words from the clocks (writing them back), derives the
// keys and fills block, mix, inc and addend from the sub-generator, which it
// leaves seeded from the second key.
void rb_seed_fill(RbState& s, uint32_t& s0, uint32_t& s1);

// Zero seed words taken from the clocks. The first seeding of a state with a
// zero first word waits for the seconds clock to change, so that the word
// taken from the clocks differs from one run of a program to the next.
template <class Clock = SystemClock>
void rb_replace_zero_words(RbState& s, uint32_t& s0, uint32_t& s1) {
  if (s.first_seed) {
    s.first_seed = false;
    if (s0 == 0) wait_next_second<Clock>();
  }
  if (s0 == 0) {
    const uint32_t ms = static_cast<uint32_t>(Clock::milliseconds());
    const uint32_t sec = Clock::seconds();
    s0 = (ms + sec + 79225u) * 33686017u;
  }
  if (s1 == 0) s1 = static_cast<uint32_t>(Clock::milliseconds());
}

// The keys of the sub-generator seedings; a zero first key is re-derived
// with other shifts (only s0 = FFFF0001 among non-zero words needs it).
inline uint32_t rb_key0(uint32_t s0) {
  const uint32_t k0 = (s0 >> 3) + (s0 << 13);
  return k0 != 0 ? k0 : (s0 >> 4) + (s0 << 14);
}
inline uint32_t rb_key1(uint32_t s1) { return (s1 >> 3) + (s1 << 7); }

// Real-valued outputs from one or two words.
inline constexpr float RB5U_K32 = 0x1p-32f;                       // 2^-32
inline constexpr double RB5U_K32_CLOSED = 0x1.00000001p-32;       // (2^32 + 1) / 2^64
inline constexpr float RB5U_K27 = 0x1p-27f;                       // 2^-27
inline constexpr float RB5U_K53 = 0x1p-53f;                       // 2^-53
inline constexpr double RB5U_K27_CLOSED = 0x1.0000000000001p-27;  // (2^52 + 1) / 2^79
inline constexpr double RB5U_K53_CLOSED = 0x1.0000000000001p-53;  // (2^52 + 1) / 2^105

// [0, 1) in steps of 2^-32.
inline double rb_real32(uint32_t u) { return u * double{RB5U_K32}; }
// [0, 1]: the product is exact in the 64-bit significand of long double and
// rounded once to double, so the largest word gives exactly 1.0.
inline double rb_real32_closed(uint32_t u) {
  return static_cast<double>(static_cast<long double>(u) * RB5U_K32_CLOSED);
}
// [0, 1) in steps of 2^-53; exact in double.
inline double rb_real53(uint32_t u1, uint32_t u2) {
  return (u1 >> 5) * double{RB5U_K27} + (u2 >> 6) * double{RB5U_K53};
}
// [0, 1]: products and sum in extended precision, then one rounding to
// double; in double the largest pair would give 1 + 2^-52.
inline double rb_real53_closed(uint32_t u1, uint32_t u2) {
  const long double a = u1 >> 5;
  const long double b = u2 >> 6;
  const long double sum = a * RB5U_K27_CLOSED + b * RB5U_K53_CLOSED;
  return static_cast<double>(sum);
}

// The draw of one build of one family on any state. The refill leaves pos
// alone; the draw sets it to 126 first.
template <class S, void (*Refill)(S&)>
struct RbDraw {
  using State = S;
  static constexpr auto refill = Refill;
  [[gnu::always_inline]] static void skip(S& s) {
    if (s.pos == 0) [[unlikely]] {
      s.pos = RB_LAST_POS;
      Refill(s);
    } else {
      --s.pos;
    }
  }
  [[gnu::always_inline]] static uint32_t next32(S& s) {
    skip(s);
    return rb_output(s.block[s.pos], s.addend);
  }
  static double real32(S& s) { return rb_real32(next32(s)); }
  static double real32_closed(S& s) { return rb_real32_closed(next32(s)); }
  static double real53(S& s) {
    const uint32_t u1 = next32(s);
    const uint32_t u2 = next32(s);
    return rb_real53(u1, u2);
  }
  static double real53_closed(S& s) {
    const uint32_t u1 = next32(s);
    const uint32_t u2 = next32(s);
    return rb_real53_closed(u1, u2);
  }
};

// A whole seeding of one build: the shared steps, the family's permutation
// of the multipliers, then twelve draws. The first finds pos 0 and refills
// (with a remix, as the seeding sets the countdown to 1), the others move pos
// from 126 to 115.
template <class D, void (*Permute)(typename D::State&)>
void rb_seed(typename D::State& s, uint32_t& s0, uint32_t& s1) {
  rb_seed_fill(s, s0, s1);
  Permute(s);
  for (int i = 0; i < 12; ++i) D::skip(s);
}

// A family type over one build (see family.h). The seeding takes both words
// by reference: a zero word is replaced from the clocks and written back.
template <class D, void (*Seed)(typename D::State&, uint32_t&, uint32_t&)>
struct RbFamily {
  using State = typename D::State;
  using Draw = D;
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_reference;
  static constexpr auto seed_state = Seed;
  static inline State state;

  static void seed(uint32_t& k0, uint32_t& k1) { Seed(state, k0, k1); }
  static uint32_t next32() { return D::next32(state); }

  // Keeps pos and addend in registers; reads the block of the program-wide
  // state, which only the refill writes.
  class Cursor {
   public:
    Cursor() : pos_(state.pos), addend_(state.addend) {}
    ~Cursor() { state.pos = pos_; }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    [[gnu::always_inline]] void skip() {
      if (pos_ == 0) [[unlikely]] {
        pos_ = RB_LAST_POS;
        D::refill(state);
        addend_ = state.addend;
      } else {
        --pos_;
      }
    }
    [[gnu::always_inline]] uint32_t next32() {
      skip();
      return rb_output(state.block[pos_], addend_);
    }

   private:
    int32_t pos_;
    uint32_t addend_;
  };
};

// SSE4.1 builds: a processor without it is refused before the first draw.
struct RbSse4Requirement {
  static constexpr const char* required_isa = "SSE4.1";
  static bool processor_supported() { return __builtin_cpu_supports("sse4.1"); }
};
