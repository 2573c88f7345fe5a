// The chain of both families four positions at a time, for the SSE4.1
// sources only. Lane L holds the positions p with p mod 4 = L; each of the 31
// steps depends only on the one before, as the portable order requires. The
// last step also writes slot 127, the block's scratch word.
#pragma once
#include <smmintrin.h>

#include <cstddef>
#include <cstdint>
#include <utility>

#include "generators/rb_common.h"

#define RB_SSE4 __attribute__((target("sse4.1")))

template <std::size_t... K>
[[gnu::always_inline]] RB_SSE4 inline void rb_chain_sse4_steps(RbState& s, __m128i inc,
                                                               std::index_sequence<K...>) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s.block));
  ((v = _mm_add_epi32(
        _mm_mullo_epi32(v, _mm_load_si128(reinterpret_cast<const __m128i*>(s.mult + 4 * K))),
        inc),
    _mm_storeu_si128(reinterpret_cast<__m128i*>(s.block + 4 * K + 4), v)),
   ...);
}

[[gnu::always_inline]] RB_SSE4 inline void rb_chain_sse4(RbState& s) {
  const uint32_t inc = s.inc;
  rb_chain_sse4_steps(s, _mm_set1_epi32(static_cast<int>(inc)), std::make_index_sequence<31>());
  s.block[0] = s.block[RB_WORDS];
  for (int j = 1; j < 4; ++j) s.block[j] = s.block[123 + j] * s.mult[123 + j] + inc;
}
