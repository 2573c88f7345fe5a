#include "generators/xorshift128.h"

namespace {

// Every seeding stores four start words and discards six outputs.
void seed_tail(Xor128State& s, uint32_t x0, uint32_t y0, uint32_t z0, uint32_t w0) {
  s = {x0, y0, z0, w0};
  for (int i = 0; i < 6; ++i) xor128_next32(s);
}

uint32_t scramble(uint32_t v) { return (v >> 1) ^ (v << 3); }

void seed_scrambled(Xor128State& s, uint32_t s1, uint32_t s2, uint32_t s3, uint32_t s4) {
  const Xor128State initial;
  seed_tail(s, scramble(s1) + initial.x, scramble(s2) + initial.y, scramble(s3) + initial.z,
            scramble(s4) + initial.w);
}

}  // namespace

void xor128_seed2(Xor128State& s, uint32_t k0, uint32_t k1) {
  seed_scrambled(s, 256 * k0 + 4 * k1 + 1, 64 * k0 + 16 * k1 + 3, 16 * k0 + 64 * k1 + 5,
                 4 * k0 + 256 * k1 + 7);
}

void xor128_seed4(Xor128State& s, uint32_t k0, uint32_t k1, uint32_t k2, uint32_t k3) {
  seed_scrambled(s, k0 + 4 * k1 + 16 * k2 + 64 * k3 + 1, 64 * k0 + k1 + 4 * k2 + 16 * k3 + 3,
                 16 * k0 + 64 * k1 + k2 + 4 * k3 + 5, 4 * k0 + 16 * k1 + 64 * k2 + k3 + 7);
}

void xor128_seed2_fold(Xor128State& s, uint32_t k0, uint32_t k1) {
  const Xor128State initial;
  const uint32_t f1 = k0 + 4 * k1 + (k1 >> 2);
  const uint32_t f2 = k1 + 4 * k0 + (k0 >> 2);
  const uint32_t u = f1 + 1;
  const uint32_t v = f1 + f2 + 3;
  seed_tail(s, f1 + initial.x, ((u >> 1) ^ (u << 1)) + initial.y,
            ((f2 >> 2) ^ (f2 << 2)) + initial.z, ((v >> 3) ^ (v << 3)) + initial.w);
}
