#include "generators/rb3w.h"

#include <utility>

void rb3w_shuffle_mult(Rb3wState& s) {
  for (int i = 0; i < RB_WORDS; ++i) {
    const uint32_t r = rb_sub_step(s) % RB_WORDS;
    std::swap(s.mult[i], s.mult[r]);
  }
}

void rb3w_remix(Rb3wState& s) {
  s.remix_countdown = RB_REMIX_PERIOD;
  rb3w_shuffle_mult(s);
  const uint32_t m1 = rb_sub_step(s);
  const uint32_t m2 = rb_sub_step(s);
  rb_mix_into_block(s, m1, m2);
}

void rb3w_refill(Rb3wState& s) {
  rb_chain(s);
  rb3w_refill_tail(s);
}

void rb3w_seed(Rb3wState& s, uint32_t& s0, uint32_t& s1) {
  rb_seed<Rb3wDraw, rb3w_shuffle_mult>(s, s0, s1);
}
