// What a test needs from a generator family, and how the run harness seeds it.
//
// A family type is a struct with:
//   static constexpr const char* tag;        generator tag in result-file names
//   static constexpr SeedProtocol protocol;  how reseed() feeds it seed words
//   static inline <State> state;             the one program-wide generator state
//   static void seed(...);                   signature given by the protocol
//   static uint32_t next32();                the family's own 32-bit draw
//   class Cursor;                            hot-loop view of the state (below)
// and optionally `static bool processor_supported()` with `required_isa`,
// for builds that need instructions beyond the x86-64 baseline.
//
// A Cursor copies the hot part of the program-wide state into its members on
// construction, hands out words with an inline next32(), and writes the state
// back in its destructor. The words it yields, their order and the state it
// leaves behind equal those of the same number of F::next32() calls. Keep a
// cursor local to the hot loop so the compiler can hold it in registers.
#pragma once
#include <cstdint>

enum class SeedProtocol {
  two_words_by_value,      // seed(uint32_t k0, uint32_t k1)
  two_words_by_reference,  // seed(uint32_t& k0, uint32_t& k1): may rewrite a zero word
  four_words,              // seed(const uint32_t (&key)[4])
  none,                    // nothing to seed (a word stream): reseed only calls seed(),
                           // if the family has one, to mark where a trial begins
};
