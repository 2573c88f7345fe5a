// Rb3w, SSE4.1 build: only the chain differs from the portable build.
#include "generators/rb3w.h"
#include "generators/rb_chain_sse4.h"

RB_SSE4 void sse4::rb3w_refill(Rb3wState& s) {
  rb_chain_sse4(s);
  rb3w_refill_tail(s);
}

void sse4::rb3w_seed(Rb3wState& s, uint32_t& s0, uint32_t& s1) {
  rb_seed<sse4::Rb3wDraw, rb3w_shuffle_mult>(s, s0, s1);
}
