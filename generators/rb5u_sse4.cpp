// Rb5u, SSE4.1 build: only the chain differs from the portable build.
#include "generators/rb5u.h"
#include "generators/rb_chain_sse4.h"

RB_SSE4 void sse4::rb5u_refill(Rb5uState& s) {
  rb_chain_sse4(s);
  rb5u_refill_tail(s);
}

void sse4::rb5u_seed(Rb5uState& s, uint32_t& s0, uint32_t& s1) {
  rb_seed<sse4::Rb5uDraw, rb5u_permute_mult>(s, s0, s1);
}
