// Fixture families for exercising the generic tests and the harness on
// outputs whose counts are known exactly.
#pragma once
#include <cstdint>

#include "generators/family.h"

// Yields the same word forever.
template <uint32_t Word>
struct ConstantFamily {
  static constexpr const char* tag = "const";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_value;
  static inline int seeds = 0;
  static void seed(uint32_t, uint32_t) { ++seeds; }
  static uint32_t next32() { return Word; }
  struct Cursor {
    uint32_t next32() { return Word; }
  };
};

// Yields 0, 1, 2, ... from `next`; seeding sets next to k0.
struct CounterFamily {
  static constexpr const char* tag = "counter";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_value;
  static inline uint32_t next = 0;
  static void seed(uint32_t k0, uint32_t) { next = k0; }
  static uint32_t next32() { return next++; }
  struct Cursor {
    uint32_t value = next;
    ~Cursor() { next = value; }
    uint32_t next32() { return value++; }
  };
};

// Yields the words of a table, cyclically.
template <const uint32_t* Table, int Size>
struct TableFamily {
  static constexpr const char* tag = "table";
  static constexpr SeedProtocol protocol = SeedProtocol::two_words_by_value;
  static inline int index = 0;
  static void seed(uint32_t, uint32_t) { index = 0; }
  static uint32_t next32() {
    const uint32_t w = Table[index];
    index = (index + 1) % Size;
    return w;
  }
  struct Cursor {
    uint32_t next32() { return TableFamily::next32(); }
  };
};
