// MT19937, the 32-bit Mersenne Twister (period 2^19937 - 1) with its one-word
// and array seedings; outputs equal the published generator bit for bit.
// The draw is inline; seeding and the regeneration of the 624 words are in
// mt19937.cpp, the regeneration out of line so the draw stays small.
#pragma once
#include <cstdint>

#include "generators/family.h"

inline constexpr int MT_N = 624;
inline constexpr int MT_M = 397;
// next_index of a state that was never seeded: the first draw seeds it with 5489.
inline constexpr int32_t MT_UNSEEDED = MT_N + 1;

struct MtState {
  uint32_t words[MT_N] = {};
  int32_t next_index = MT_UNSEEDED;  // 624: words used up; 625: never seeded
};

void mt_seed(MtState& s, uint32_t seed);
// length >= 1; any length, also longer than 624.
void mt_seed_array(MtState& s, const uint32_t* key, int length);
// Replaces all 624 words; leaves next_index alone.
void mt_regenerate(MtState& s);
// The rare branch of the draw: seeds an unseeded state, regenerates, index 0.
[[gnu::noinline]] void mt_renew(MtState& s);

inline uint32_t mt_temper(uint32_t y) {
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

inline uint32_t mt_next32(MtState& s) {
  if (s.next_index >= MT_N) [[unlikely]]
    mt_renew(s);
  return mt_temper(s.words[s.next_index++]);
}

inline uint32_t mt_next31(MtState& s) { return mt_next32(s) >> 1; }

// [0, 1]: 0xffffffff gives exactly 1.0.
inline double mt_real32_closed(MtState& s) { return mt_next32(s) * (1.0 / 4294967295.0); }
// [0, 1)
inline double mt_real32(MtState& s) { return mt_next32(s) * (1.0 / 4294967296.0); }
// (0, 1)
inline double mt_real32_open(MtState& s) { return (mt_next32(s) + 0.5) * (1.0 / 4294967296.0); }
// [0, 1) with 53-bit resolution, from two draws (the first gives the high bits).
inline double mt_real53(MtState& s) {
  const uint32_t a = mt_next32(s) >> 5;
  const uint32_t b = mt_next32(s) >> 6;
  return (a * 67108864.0 + b) * (1.0 / 9007199254740992.0);
}

// The family of every MT19937 program: seeded from the four seed words as a
// key array, one call of mt_next32 per draw.
struct Mt {
  static constexpr const char* tag = "mt";
  static constexpr SeedProtocol protocol = SeedProtocol::four_words;
  static inline MtState state;

  static void seed(const uint32_t (&key)[4]) { mt_seed_array(state, key, 4); }
  static uint32_t next32() { return mt_next32(state); }

  class Cursor {
   public:
    Cursor() = default;
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    [[gnu::always_inline]] uint32_t next32() { return mt_next32(state); }
  };
};
