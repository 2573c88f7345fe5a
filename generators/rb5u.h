// Rb5u: 127-word blocks from a lag-4 multiply-add chain with one multiplier
// per position and an increment from the sub-generator. Every 2129th refill
// remixes: a new increment, a block-driven swap pass over the multipliers and
// a pass that folds the mixing table into the block. The addend of the output
// formula is block[2] + block[3] of each refill.
//
// Portable build: global functions and the family Rb5u. SSE4.1 build:
// namespace sse4 and the family Rb5uSse4. Same words, bit for bit.
#pragma once
#include <cstdint>

#include "generators/rb_common.h"

struct Rb5uState : RbState {};

inline void rb5u_load_mult(Rb5uState& s) { rb_load_mult(s); }
inline void rb5u_sub_seed(Rb5uState& s, uint32_t a, uint32_t b) { rb_sub_seed(s, a, b); }
inline uint32_t rb5u_sub_step(Rb5uState& s) { return rb_sub_step(s); }

// Swaps mult[j] with mult[block[j] mod 127] for j = block[0] & 3, +3, ... .
void rb5u_permute_mult(Rb5uState& s);
// Every 2129th refill, after the chain and the addend.
void rb5u_remix(Rb5uState& s);

// What follows the chain in either build.
[[gnu::always_inline]] inline void rb5u_refill_tail(Rb5uState& s) {
  s.addend = s.block[2] + s.block[3];
  if (--s.remix_countdown == 0) [[unlikely]]
    rb5u_remix(s);
}

// Regenerates block and addend; the caller sets pos to 126 first.
[[gnu::noinline]] void rb5u_refill(Rb5uState& s);
// Rebuilds the state from two words; a zero word is replaced from the clocks
// and written back to the caller's variable.
void rb5u_seed(Rb5uState& s, uint32_t& s0, uint32_t& s1);

using Rb5uDraw = RbDraw<Rb5uState, rb5u_refill>;
inline uint32_t rb5u_next32(Rb5uState& s) { return Rb5uDraw::next32(s); }
inline void rb5u_skip(Rb5uState& s) { Rb5uDraw::skip(s); }
inline double rb5u_real32(Rb5uState& s) { return Rb5uDraw::real32(s); }
inline double rb5u_real32_closed(Rb5uState& s) { return Rb5uDraw::real32_closed(s); }
inline double rb5u_real53(Rb5uState& s) { return Rb5uDraw::real53(s); }
inline double rb5u_real53_closed(Rb5uState& s) { return Rb5uDraw::real53_closed(s); }

namespace sse4 {

// The chain computed four positions at a time (rb5u_sse4.cpp).
[[gnu::noinline]] void rb5u_refill(Rb5uState& s);
void rb5u_seed(Rb5uState& s, uint32_t& s0, uint32_t& s1);

using Rb5uDraw = RbDraw<Rb5uState, sse4::rb5u_refill>;
inline uint32_t rb5u_next32(Rb5uState& s) { return Rb5uDraw::next32(s); }
inline void rb5u_skip(Rb5uState& s) { Rb5uDraw::skip(s); }
inline double rb5u_real32(Rb5uState& s) { return Rb5uDraw::real32(s); }
inline double rb5u_real32_closed(Rb5uState& s) { return Rb5uDraw::real32_closed(s); }
inline double rb5u_real53(Rb5uState& s) { return Rb5uDraw::real53(s); }
inline double rb5u_real53_closed(Rb5uState& s) { return Rb5uDraw::real53_closed(s); }

}  // namespace sse4

struct Rb5u : RbFamily<Rb5uDraw, rb5u_seed> {
  static constexpr const char* tag = "Rb5u";
};

struct Rb5uSse4 : RbFamily<sse4::Rb5uDraw, sse4::rb5u_seed>, RbSse4Requirement {
  static constexpr const char* tag = "Rb5uSSE4";
};
