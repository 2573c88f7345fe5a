#include "generators/mt19937.h"

namespace {

constexpr uint32_t UPPER_MASK = 0x80000000u;
constexpr uint32_t LOWER_MASK = 0x7fffffffu;

// One word of the recursion: the upper bit of `current`, the lower 31 bits of
// `following`, twisted and XORed into the word M places on.
inline uint32_t twist(uint32_t current, uint32_t following, uint32_t far) {
  const uint32_t y = (current & UPPER_MASK) | (following & LOWER_MASK);
  return far ^ (y >> 1) ^ ((0u - (y & 1u)) & 0x9908b0dfu);
}

}  // namespace

void mt_seed(MtState& s, uint32_t seed) {
  uint32_t* w = s.words;
  w[0] = seed;
  for (uint32_t i = 1; i < MT_N; ++i) w[i] = 1812433253u * (w[i - 1] ^ (w[i - 1] >> 30)) + i;
  s.next_index = MT_N;
}

void mt_seed_array(MtState& s, const uint32_t* key, int length) {
  mt_seed(s, 19650218u);
  uint32_t* w = s.words;
  int i = 1;
  int j = 0;
  for (int k = length > MT_N ? length : MT_N; k > 0; --k) {
    w[i] = (w[i] ^ ((w[i - 1] ^ (w[i - 1] >> 30)) * 1664525u)) + key[j] + static_cast<uint32_t>(j);
    ++i;
    ++j;
    if (i >= MT_N) {
      w[0] = w[MT_N - 1];
      i = 1;
    }
    if (j >= length) j = 0;
  }
  for (int k = MT_N - 1; k > 0; --k) {
    w[i] = (w[i] ^ ((w[i - 1] ^ (w[i - 1] >> 30)) * 1566083941u)) - static_cast<uint32_t>(i);
    ++i;
    if (i >= MT_N) {
      w[0] = w[MT_N - 1];
      i = 1;
    }
  }
  w[0] = 0x80000000u;  // the top bit alone: the state is never all zero
}

// Three stretches so that no index wraps and none needs a modulo: the first
// reads words M on, the second words already renewed, the third the new word 0.
void mt_regenerate(MtState& s) {
  uint32_t* w = s.words;
  int kk = 0;
  for (; kk < MT_N - MT_M; ++kk) w[kk] = twist(w[kk], w[kk + 1], w[kk + MT_M]);
  for (; kk < MT_N - 1; ++kk) w[kk] = twist(w[kk], w[kk + 1], w[kk + MT_M - MT_N]);
  w[MT_N - 1] = twist(w[MT_N - 1], w[0], w[MT_M - 1]);
}

void mt_renew(MtState& s) {
  if (s.next_index == MT_UNSEEDED) mt_seed(s, 5489u);
  mt_regenerate(s);
  s.next_index = 0;
}
