// The SSE2 build of the SFMT recursion: one 128-bit register per element,
// lane 0 in the low 32 bits. Only the regeneration and the array fills are
// vector code; everything else is shared with the portable build.
#include <emmintrin.h>

#include <cstdint>

#include "generators/sfmt.h"

namespace sfmt_sse2 {
namespace {

#define SSE2 __attribute__((target("sse2")))

SSE2 inline __m128i mask_vector() {
  return _mm_set_epi32(static_cast<int>(SFMT_MASK[3]), static_cast<int>(SFMT_MASK[2]),
                       static_cast<int>(SFMT_MASK[1]), static_cast<int>(SFMT_MASK[0]));
}

// v is the element made just before: the loop is bound by the path from v to
// the result, so v's term is XORed last, onto the other four combined. The
// empty asm keeps the compiler from reassociating v's term back to the front
// (which makes that path two XORs longer).
SSE2 inline __m128i recursion(__m128i a, __m128i b, __m128i u, __m128i v, __m128i mask) {
  const __m128i t1 = _mm_srli_si128(u, SFMT_BYTE_SHR);
  const __m128i t2 = _mm_and_si128(_mm_srli_epi32(b, SFMT_LANE_SHR), mask);
  const __m128i t3 = _mm_slli_epi32(v, SFMT_LANE_SHL);
  const __m128i t4 = _mm_slli_si128(a, SFMT_BYTE_SHL);
  __m128i rest = _mm_xor_si128(_mm_xor_si128(t1, a), _mm_xor_si128(t4, t2));
  asm("" : "+x"(rest));
  return _mm_xor_si128(rest, t3);
}

// The next n >= 156 elements into a 16-byte aligned array `out`: the first
// 156 from the state (and from `out` once those are new), the rest from `out`
// alone. `out` may be the state itself: each element is read before it is
// overwritten.
SSE2 void generate(const __m128i* state, __m128i* out, int n) {
  const __m128i mask = mask_vector();
  __m128i u = _mm_load_si128(state + SFMT_ELEMENTS - 2);
  __m128i v = _mm_load_si128(state + SFMT_ELEMENTS - 1);
  int i = 0;
  for (; i < SFMT_ELEMENTS - SFMT_MID; ++i) {
    const __m128i r = recursion(_mm_load_si128(state + i), _mm_load_si128(state + i + SFMT_MID),
                                u, v, mask);
    _mm_store_si128(out + i, r);
    u = v;
    v = r;
  }
  for (; i < SFMT_ELEMENTS; ++i) {
    const __m128i r = recursion(_mm_load_si128(state + i),
                                _mm_load_si128(out + i + SFMT_MID - SFMT_ELEMENTS), u, v, mask);
    _mm_store_si128(out + i, r);
    u = v;
    v = r;
  }
  for (; i < n; ++i) {
    const __m128i r = recursion(_mm_load_si128(out + i - SFMT_ELEMENTS),
                                _mm_load_si128(out + i + SFMT_MID - SFMT_ELEMENTS), u, v, mask);
    _mm_store_si128(out + i, r);
    u = v;
    v = r;
  }
}

// n >= 156 elements into a 16-byte aligned array, then the last 156 of them
// into the state.
SSE2 void fill(SfmtState& s, __m128i* array, int n) {
  __m128i* state = reinterpret_cast<__m128i*>(s.words);
  generate(state, array, n);
  for (int j = 0; j < SFMT_ELEMENTS; ++j)
    _mm_store_si128(state + j, _mm_load_si128(array + n - SFMT_ELEMENTS + j));
  s.idx = N32;
}

bool aligned16(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

}  // namespace

SSE2 void sfmt_regenerate(SfmtState& s) {
  __m128i* state = reinterpret_cast<__m128i*>(s.words);
  generate(state, state, SFMT_ELEMENTS);
}

// The aligned stores cannot take an unaligned array; the portable fill writes
// the same words there.
void sfmt_fill32(SfmtState& s, uint32_t* array, int size) {
  sfmt_check_fill32(s, size);
  if (!aligned16(array)) return sfmt_portable::sfmt_fill32(s, array, size);
  fill(s, reinterpret_cast<__m128i*>(array), size / 4);
}

void sfmt_fill64(SfmtState& s, uint64_t* array, int size) {
  sfmt_check_fill64(s, size);
  if (!aligned16(array)) return sfmt_portable::sfmt_fill64(s, array, size);
  fill(s, reinterpret_cast<__m128i*>(array), size / 2);
}

#undef SSE2

}  // namespace sfmt_sse2
