// The SFMT unit: seedings, period certification, precondition checks and the
// portable build of the recursion.

// The checks stay active in every build type: with NDEBUG left defined the
// assertion facility's declarations would be missing from <cassert>.
#undef NDEBUG
#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generators/sfmt.h"

namespace {

// Reports a failed check as the assertion facility does, naming the unit
// SFMT, the line of the check and the operation, then ends the process.
#if defined(__GLIBC__)
#define SFMT_ASSERT(condition, operation) \
  ((condition) ? void(0) : __assert_fail(#condition, "SFMT", __LINE__, operation))
#else
[[noreturn]] void sfmt_assert_fail(const char* condition, int line, const char* operation) {
  std::fprintf(stderr, "SFMT:%d: %s: Assertion `%s' failed.\n", line, operation, condition);
  std::abort();
}
#define SFMT_ASSERT(condition, operation) \
  ((condition) ? void(0) : sfmt_assert_fail(#condition, __LINE__, operation))
#endif

// The seeding's scrambling steps.
uint32_t f1(uint32_t x) { return (x ^ (x >> 27)) * 1664525u; }
uint32_t f2(uint32_t x) { return (x ^ (x >> 27)) * 1566083941u; }

}  // namespace

const char* sfmt_id_string() {
  return "SFMT-19937:122-18-1-11-1:dfffffef-ddfecb7f-bffaffff-bffffff6";
}

int sfmt_min_size32() { return N32; }
int sfmt_min_size64() { return N64; }

// The conditions are written on locals named as in their report texts.
void sfmt_check_next32(const SfmtState& s) {
  const bool initialized = s.initialized != 0;
  SFMT_ASSERT(initialized, "sfmt_next32");
}

void sfmt_check_next64(const SfmtState& s) {
  const bool initialized = s.initialized != 0;
  const int idx = s.idx;
  SFMT_ASSERT(initialized, "sfmt_next64");
  SFMT_ASSERT(idx % 2 == 0, "sfmt_next64");
}

void sfmt_check_fill32(const SfmtState& s, int size) {
  const bool initialized = s.initialized != 0;
  const int idx = s.idx;
  SFMT_ASSERT(initialized, "sfmt_fill32");
  SFMT_ASSERT(idx == N32, "sfmt_fill32");
  SFMT_ASSERT(size % 4 == 0, "sfmt_fill32");
  SFMT_ASSERT(size >= N32, "sfmt_fill32");
}

void sfmt_check_fill64(const SfmtState& s, int size) {
  const bool initialized = s.initialized != 0;
  const int idx = s.idx;
  SFMT_ASSERT(initialized, "sfmt_fill64");
  SFMT_ASSERT(idx == N32, "sfmt_fill64");
  SFMT_ASSERT(size % 2 == 0, "sfmt_fill64");
  SFMT_ASSERT(size >= N64, "sfmt_fill64");
}

void sfmt_certify(SfmtState& s) {
  uint32_t inner = 0;
  for (int k = 0; k < 4; ++k) inner ^= s.words[k] & SFMT_PARITY[k];
  for (int shift = 16; shift > 0; shift >>= 1) inner ^= inner >> shift;
  if (inner & 1) return;
  // Flip the lowest set bit of the parity vector: bit 0 of lane 0.
  s.words[0] ^= 1;
}

void sfmt_seed(SfmtState& s, uint32_t seed) {
  uint32_t* w = s.words;
  w[0] = seed;
  for (uint32_t i = 1; i < N32; ++i) w[i] = 1812433253u * (w[i - 1] ^ (w[i - 1] >> 30)) + i;
  s.idx = N32;
  sfmt_certify(s);
  s.initialized = 1;
}

void sfmt_seed_array(SfmtState& s, const uint32_t* key, int length) {
  constexpr int lag = 11;
  constexpr int mid = (N32 - lag) / 2;
  uint32_t* w = s.words;
  std::memset(w, 0x8b, sizeof s.words);
  int count = length + 1 > N32 ? length + 1 : N32;
  uint32_t r = f1(w[0] ^ w[mid] ^ w[N32 - 1]);
  w[mid] += r;
  r += static_cast<uint32_t>(length);
  w[mid + lag] += r;
  w[0] = r;
  --count;
  int i = 1;
  int j = 0;
  // One step of the first pass at word i, `addend` joining r after f1.
  auto mix = [&](uint32_t addend) {
    r = f1(w[i] ^ w[(i + mid) % N32] ^ w[(i + N32 - 1) % N32]);
    w[(i + mid) % N32] += r;
    r += addend + static_cast<uint32_t>(i);
    w[(i + mid + lag) % N32] += r;
    w[i] = r;
    i = (i + 1) % N32;
  };
  for (; j < count && j < length; ++j) mix(key[j]);
  for (; j < count; ++j) mix(0);
  for (int k = 0; k < N32; ++k) {
    r = f2(w[i] + w[(i + mid) % N32] + w[(i + N32 - 1) % N32]);
    w[(i + mid) % N32] ^= r;
    r -= static_cast<uint32_t>(i);
    w[(i + mid + lag) % N32] ^= r;
    w[i] = r;
    i = (i + 1) % N32;
  }
  s.idx = N32;
  sfmt_certify(s);
  s.initialized = 1;
}

namespace sfmt_portable {
namespace {

// A 128-bit element as two 64-bit halves: lanes 0 and 1, lanes 2 and 3.
struct Element {
  uint64_t lo, hi;
};

// The lane shifts done on whole halves; the masks drop the bits that cross
// from one 32-bit lane into the next.
constexpr uint64_t pair(uint32_t low, uint32_t high) { return uint64_t{high} << 32 | low; }
constexpr uint32_t SHR_KEEP = 0xffffffffu >> SFMT_LANE_SHR;
constexpr uint32_t SHL_KEEP = 0xffffffffu << SFMT_LANE_SHL;
constexpr uint64_t MASK_LO = pair(SFMT_MASK[0] & SHR_KEEP, SFMT_MASK[1] & SHR_KEEP);
constexpr uint64_t MASK_HI = pair(SFMT_MASK[2] & SHR_KEEP, SFMT_MASK[3] & SHR_KEEP);
constexpr uint64_t SHL_MASK = pair(SHL_KEEP, SHL_KEEP);
constexpr int BYTE_SHL_BITS = 8 * SFMT_BYTE_SHL;
constexpr int BYTE_SHR_BITS = 8 * SFMT_BYTE_SHR;

inline Element recursion(const Element& a, const Element& b, const Element& u, const Element& v) {
  // a and u shifted by one byte as 128-bit quantities: the byte that crosses
  // between the halves is carried over.
  const uint64_t x_lo = a.lo << BYTE_SHL_BITS;
  const uint64_t x_hi = a.hi << BYTE_SHL_BITS | a.lo >> (64 - BYTE_SHL_BITS);
  const uint64_t y_lo = u.lo >> BYTE_SHR_BITS | u.hi << (64 - BYTE_SHR_BITS);
  const uint64_t y_hi = u.hi >> BYTE_SHR_BITS;
  return {a.lo ^ x_lo ^ ((b.lo >> SFMT_LANE_SHR) & MASK_LO) ^ y_lo ^
              ((v.lo << SFMT_LANE_SHL) & SHL_MASK),
          a.hi ^ x_hi ^ ((b.hi >> SFMT_LANE_SHR) & MASK_HI) ^ y_hi ^
              ((v.hi << SFMT_LANE_SHL) & SHL_MASK)};
}

// Element i of an array of 32-bit or of 64-bit words.
inline Element load(const uint32_t* words, int i) {
  const uint32_t* p = words + 4 * i;
  return {pair(p[0], p[1]), pair(p[2], p[3])};
}
inline void store(uint32_t* words, int i, const Element& e) {
  uint32_t* p = words + 4 * i;
  p[0] = static_cast<uint32_t>(e.lo);
  p[1] = static_cast<uint32_t>(e.lo >> 32);
  p[2] = static_cast<uint32_t>(e.hi);
  p[3] = static_cast<uint32_t>(e.hi >> 32);
}
inline Element load(const uint64_t* words, int i) { return {words[2 * i], words[2 * i + 1]}; }
inline void store(uint64_t* words, int i, const Element& e) {
  words[2 * i] = e.lo;
  words[2 * i + 1] = e.hi;
}

// The next n >= 156 elements into `out`: the first 156 from the state (and
// from `out` once those are new), the rest from `out` alone. `out` may be the
// state itself: each element is read before it is overwritten.
template <class Word>
void generate(const uint32_t* state, Word* out, int n) {
  Element u = load(state, SFMT_ELEMENTS - 2);
  Element v = load(state, SFMT_ELEMENTS - 1);
  auto put = [&](int i, const Element& r) {
    store(out, i, r);
    u = v;
    v = r;
  };
  int i = 0;
  for (; i < SFMT_ELEMENTS - SFMT_MID; ++i)
    put(i, recursion(load(state, i), load(state, i + SFMT_MID), u, v));
  for (; i < SFMT_ELEMENTS; ++i)
    put(i, recursion(load(state, i), load(out, i + SFMT_MID - SFMT_ELEMENTS), u, v));
  for (; i < n; ++i)
    put(i, recursion(load(out, i - SFMT_ELEMENTS), load(out, i + SFMT_MID - SFMT_ELEMENTS), u, v));
}

// n >= 156 elements into the array, then the last 156 of them into the state.
template <class Word>
void fill(SfmtState& s, Word* array, int n) {
  generate(s.words, array, n);
  for (int j = 0; j < SFMT_ELEMENTS; ++j) store(s.words, j, load(array, n - SFMT_ELEMENTS + j));
  s.idx = N32;
}

}  // namespace

void sfmt_regenerate(SfmtState& s) { generate(s.words, s.words, SFMT_ELEMENTS); }

void sfmt_fill32(SfmtState& s, uint32_t* array, int size) {
  sfmt_check_fill32(s, size);
  fill(s, array, size / 4);
}

void sfmt_fill64(SfmtState& s, uint64_t* array, int size) {
  sfmt_check_fill64(s, size);
  fill(s, array, size / 2);
}

}  // namespace sfmt_portable
