// Rb3w: the block, chain, multipliers, sub-generator and output formula of
// Rb5u, with more of the sub-generator in the output: every refill draws a
// fresh increment and a fresh addend from it, and the remix of every 2129th
// refill shuffles the multipliers and drives the mixing table by sub words.
//
// Portable build: global functions and the family Rb3w. SSE4.1 build:
// namespace sse4 and the family Rb3wSse4. Same words, bit for bit.
#pragma once
#include <cstdint>

#include "generators/rb_common.h"

struct Rb3wState : RbState {};

inline void rb3w_load_mult(Rb3wState& s) { rb_load_mult(s); }
inline void rb3w_sub_seed(Rb3wState& s, uint32_t a, uint32_t b) { rb_sub_seed(s, a, b); }
inline uint32_t rb3w_sub_step(Rb3wState& s) { return rb_sub_step(s); }

// Swaps mult[i] with mult[(next sub word) mod 127] for i = 0..126.
void rb3w_shuffle_mult(Rb3wState& s);
// Every 2129th refill, after the new inc and addend.
void rb3w_remix(Rb3wState& s);

// What follows the chain in either build. The addend may be 0.
[[gnu::always_inline]] inline void rb3w_refill_tail(Rb3wState& s) {
  s.inc = rb_sub_nonzero(s);
  s.addend = rb_sub_step(s);
  if (--s.remix_countdown == 0) [[unlikely]]
    rb3w_remix(s);
}

// Regenerates block, inc and addend; the caller sets pos to 126 first.
[[gnu::noinline]] void rb3w_refill(Rb3wState& s);
// As rb5u_seed, with the sub-generator shuffle as the final permutation.
void rb3w_seed(Rb3wState& s, uint32_t& s0, uint32_t& s1);

using Rb3wDraw = RbDraw<Rb3wState, rb3w_refill>;
inline uint32_t rb3w_next32(Rb3wState& s) { return Rb3wDraw::next32(s); }
inline void rb3w_skip(Rb3wState& s) { Rb3wDraw::skip(s); }
inline double rb3w_real32(Rb3wState& s) { return Rb3wDraw::real32(s); }
inline double rb3w_real32_closed(Rb3wState& s) { return Rb3wDraw::real32_closed(s); }
inline double rb3w_real53(Rb3wState& s) { return Rb3wDraw::real53(s); }
inline double rb3w_real53_closed(Rb3wState& s) { return Rb3wDraw::real53_closed(s); }

namespace sse4 {

// The chain computed four positions at a time (rb3w_sse4.cpp).
[[gnu::noinline]] void rb3w_refill(Rb3wState& s);
void rb3w_seed(Rb3wState& s, uint32_t& s0, uint32_t& s1);

using Rb3wDraw = RbDraw<Rb3wState, sse4::rb3w_refill>;
inline uint32_t rb3w_next32(Rb3wState& s) { return Rb3wDraw::next32(s); }
inline void rb3w_skip(Rb3wState& s) { Rb3wDraw::skip(s); }
inline double rb3w_real32(Rb3wState& s) { return Rb3wDraw::real32(s); }
inline double rb3w_real32_closed(Rb3wState& s) { return Rb3wDraw::real32_closed(s); }
inline double rb3w_real53(Rb3wState& s) { return Rb3wDraw::real53(s); }
inline double rb3w_real53_closed(Rb3wState& s) { return Rb3wDraw::real53_closed(s); }

}  // namespace sse4

struct Rb3w : RbFamily<Rb3wDraw, rb3w_seed> {
  static constexpr const char* tag = "Rb3w";
};

struct Rb3wSse4 : RbFamily<sse4::Rb3wDraw, sse4::rb3w_seed>, RbSse4Requirement {
  static constexpr const char* tag = "Rb3wSSE4";
};
