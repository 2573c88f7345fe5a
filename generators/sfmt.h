// SFMT-19937 (SIMD-oriented Fast Mersenne Twister, period 2^19937 - 1) in its
// standard parameter set, in two builds that give the same words: portable
// (sfmt.cpp, each 128-bit element as two 64-bit halves) and SSE2
// (sfmt_sse2.cpp, one vector register per element). The seedings, the period
// certification and the precondition checks are shared integer code in
// sfmt.cpp; the builds differ only in the regeneration and the array fills,
// and live in the namespaces sfmt_portable and sfmt_sse2 so that one binary
// can hold both.
//
// A failed precondition is reported through the standard assertion facility
// as coming from the unit "SFMT", with the condition text, even in Release
// builds, and the process ends abnormally.
#pragma once
#include <cstdint>

#include "generators/family.h"

inline constexpr int SFMT_EXPONENT = 19937;
inline constexpr int SFMT_ELEMENTS = 156;  // 128-bit elements of the state
inline constexpr int N32 = 624;            // 32-bit words of the state
inline constexpr int N64 = 312;            // 64-bit words of the state
inline constexpr int SFMT_MID = 122;
inline constexpr int SFMT_LANE_SHL = 18;
inline constexpr int SFMT_BYTE_SHL = 1;
inline constexpr int SFMT_LANE_SHR = 11;
inline constexpr int SFMT_BYTE_SHR = 1;
inline constexpr uint32_t SFMT_MASK[4] = {0xdfffffefu, 0xddfecb7fu, 0xbffaffffu, 0xbffffff6u};
inline constexpr uint32_t SFMT_PARITY[4] = {0x00000001u, 0x00000000u, 0x00000000u, 0x13c9e684u};

struct SfmtState {
  // 156 elements of four 32-bit lanes, lane 0 first: element i is words
  // 4i to 4i + 3. 64-bit word j has word 2j in its low half (sfmt_word64).
  alignas(16) uint32_t words[N32] = {};
  int32_t idx = 0;          // next 32-bit word to hand out; 624: regenerate first
  int32_t initialized = 0;  // 1 once seeded; nothing resets it
};

inline uint64_t sfmt_word64(const SfmtState& s, int j) {
  return s.words[2 * j] | uint64_t{s.words[2 * j + 1]} << 32;
}

const char* sfmt_id_string();
int sfmt_min_size32();
int sfmt_min_size64();
void sfmt_seed(SfmtState& s, uint32_t seed);
// length >= 0: an empty key is accepted.
void sfmt_seed_array(SfmtState& s, const uint32_t* key, int length);
// Makes the period 2^19937 - 1 certain: flips bit 0 of word 0 when the parity
// check of the state fails.
void sfmt_certify(SfmtState& s);

// The preconditions of each operation, checked in order; on failure they
// report and abort. The inline draws call them only when a cheap test fails.
void sfmt_check_next32(const SfmtState& s);
void sfmt_check_next64(const SfmtState& s);
void sfmt_check_fill32(const SfmtState& s, int size);
void sfmt_check_fill64(const SfmtState& s, int size);

// The scalar index logic shared by both builds; Regenerate is the build's.
template <void (*Regenerate)(SfmtState&)>
inline uint32_t sfmt_next32_with(SfmtState& s) {
  if (!s.initialized) [[unlikely]]
    sfmt_check_next32(s);
  if (s.idx >= N32) [[unlikely]] {
    Regenerate(s);
    s.idx = 0;
  }
  return s.words[s.idx++];
}

template <void (*Regenerate)(SfmtState&)>
inline uint64_t sfmt_next64_with(SfmtState& s) {
  if (!s.initialized || s.idx % 2 != 0) [[unlikely]]
    sfmt_check_next64(s);
  if (s.idx >= N32) [[unlikely]] {
    Regenerate(s);
    s.idx = 0;
  }
  const uint64_t r = sfmt_word64(s, s.idx / 2);
  s.idx += 2;
  return r;
}

namespace sfmt_portable {
[[gnu::noinline]] void sfmt_regenerate(SfmtState& s);
void sfmt_fill32(SfmtState& s, uint32_t* array, int size);
void sfmt_fill64(SfmtState& s, uint64_t* array, int size);
inline uint32_t sfmt_next32(SfmtState& s) { return sfmt_next32_with<sfmt_regenerate>(s); }
inline uint64_t sfmt_next64(SfmtState& s) { return sfmt_next64_with<sfmt_regenerate>(s); }
}  // namespace sfmt_portable

// The fills accept any array: one that is not 16-byte aligned, which the
// vector stores cannot write, is filled by the portable code (same words).
namespace sfmt_sse2 {
[[gnu::noinline]] void sfmt_regenerate(SfmtState& s);
void sfmt_fill32(SfmtState& s, uint32_t* array, int size);
void sfmt_fill64(SfmtState& s, uint64_t* array, int size);
inline uint32_t sfmt_next32(SfmtState& s) { return sfmt_next32_with<sfmt_regenerate>(s); }
inline uint64_t sfmt_next64(SfmtState& s) { return sfmt_next64_with<sfmt_regenerate>(s); }
}  // namespace sfmt_sse2

// The SFMT families: seeded from the four seed words as a key array. The
// cursor keeps the index in a register and reads the state's words directly;
// it checks "initialized" once, when constructed.
template <void (*Regenerate)(SfmtState&)>
struct SfmtFamily {
  static constexpr SeedProtocol protocol = SeedProtocol::four_words;
  static inline SfmtState state;

  static void seed(const uint32_t (&key)[4]) { sfmt_seed_array(state, key, 4); }
  static uint32_t next32() { return sfmt_next32_with<Regenerate>(state); }

  class Cursor {
   public:
    Cursor() : words_(state.words), idx_(state.idx) {
      if (!state.initialized) [[unlikely]]
        sfmt_check_next32(state);
    }
    ~Cursor() { state.idx = idx_; }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    [[gnu::always_inline]] uint32_t next32() {
      if (idx_ >= N32) [[unlikely]] {
        Regenerate(state);
        idx_ = 0;
      }
      return words_[idx_++];
    }

   private:
    const uint32_t* words_;
    int32_t idx_;
  };
};

struct Sfmt : SfmtFamily<sfmt_portable::sfmt_regenerate> {
  static constexpr const char* tag = "sfmt";
};

struct SfmtSse2 : SfmtFamily<sfmt_sse2::sfmt_regenerate> {
  static constexpr const char* tag = "sfSSE2";
};
