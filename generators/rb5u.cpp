#include "generators/rb5u.h"

#include <utility>

void rb5u_permute_mult(Rb5uState& s) {
  for (uint32_t j = s.block[0] & 3; j < RB_WORDS; j += 3) {
    const uint32_t r = s.block[j] % RB_WORDS;
    std::swap(s.mult[j], s.mult[r]);
  }
}

void rb5u_remix(Rb5uState& s) {
  s.remix_countdown = RB_REMIX_PERIOD;
  s.inc = rb_sub_nonzero(s);
  rb5u_permute_mult(s);
  rb_mix_into_block(s, s.block[2], s.block[3]);
}

void rb5u_refill(Rb5uState& s) {
  rb_chain(s);
  rb5u_refill_tail(s);
}

void rb5u_seed(Rb5uState& s, uint32_t& s0, uint32_t& s1) {
  rb_seed<Rb5uDraw, rb5u_permute_mult>(s, s0, s1);
}
