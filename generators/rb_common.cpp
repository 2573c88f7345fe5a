#include "generators/rb_common.h"

#include <cstring>

void rb_load_mult(RbState& s) { std::memcpy(s.mult, RB_MULT_CONSTANTS, sizeof s.mult); }

void rb_mix_into_block(RbState& s, uint32_t xor_word, uint32_t base) {
  for (int k = 0; k < RB_WORDS; ++k) {
    const uint32_t t = (base + static_cast<uint32_t>(k)) & (RB_MIX_WORDS - 1);
    s.mix[t] ^= xor_word;
    s.block[k] += s.mix[t];
  }
}

void rb_seed_fill(RbState& s, uint32_t& s0, uint32_t& s1) {
  rb_load_mult(s);
  s.pos = 0;
  s.remix_countdown = 1;
  rb_replace_zero_words(s, s0, s1);
  const uint32_t k0 = rb_key0(s0);
  const uint32_t k1 = rb_key1(s1);

  rb_sub_seed(s, k0, k1);
  for (int i = 0; i < RB_WORDS; ++i) s.block[i] = rb_sub_step(s);
  rb_sub_seed(s, k0, rb_sub_step(s));
  for (uint32_t& m : s.mix) m = rb_sub_step(s);
  s.inc = rb_sub_nonzero(s);
  do {
    const uint32_t r1 = rb_sub_step(s);
    const uint32_t r2 = rb_sub_step(s);
    s.addend = r1 + r2;
  } while (s.addend == 0);
  rb_sub_seed(s, k1, rb_sub_step(s));
}
