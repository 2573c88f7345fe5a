// Seed words and reseeding before each trial.
//
// The SeedRecord words are running sums modulo 2^32: every reseed folds fresh
// generator outputs and clock readings into them and seeds the family from
// the result, so the words printed beside a result name the seeding behind it.
// Reads are sequenced one statement each: output before the clock added with
// it, clocks alternating milliseconds, seconds in word order.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "generators/family.h"
#include "harness/clock.h"
#include "harness/output.h"

struct SeedRecord {
  uint32_t word[4] = {0, 0, 0, 0};
};

struct RunState {
  SeedRecord seeds;
  bool first_use = true;
};

// The seed words as a line of their own, right-aligned in eight places.
using SeedLine = TextBuffer<48>;
inline void format_seed_line(SeedLine& line, const SeedRecord& seeds) {
  line.add("%8x, %8x, %8x, %8x\n", seeds.word[0], seeds.word[1], seeds.word[2], seeds.word[3]);
}
inline void print_seed_line(const SeedRecord& seeds) {
  SeedLine line;
  format_seed_line(line, seeds);
  print_now(line);
}

// The program's one run state; unit tests reset it between cases.
inline RunState run_state;

template <class F, class Clock = SystemClock>
void first_use_step(RunState& run = run_state) {
  uint32_t* w = run.seeds.word;
  run.first_use = false;
  if constexpr (F::protocol == SeedProtocol::two_words_by_value) {
    const uint32_t waited = wait_next_second<Clock>();
    w[0] += static_cast<uint32_t>(Clock::milliseconds());
    w[1] += Clock::seconds() + waited;
    F::seed(w[0], w[1]);
  } else if constexpr (F::protocol == SeedProtocol::two_words_by_reference) {
    // Zero words make the family wait once and take its words from the clocks.
    w[0] = 0;
    w[1] = 0;
    F::seed(w[0], w[1]);
  } else if constexpr (F::protocol == SeedProtocol::four_words) {
    w[0] += Clock::seconds();
    w[1] += static_cast<uint32_t>(Clock::milliseconds());
    const uint32_t waited = wait_next_second<Clock>();
    w[2] += Clock::seconds() + waited;
    w[3] += static_cast<uint32_t>(Clock::milliseconds());
    F::seed(run.seeds.word);
  }
}

// word += next output + clock reading, in exactly that order of reads.
template <class F, class Clock>
void fold_output_and_clock(uint32_t& word, bool milliseconds) {
  const uint32_t output = F::next32();
  const uint32_t reading =
      milliseconds ? static_cast<uint32_t>(Clock::milliseconds()) : Clock::seconds();
  word += output + reading;
}

template <class F, class Clock = SystemClock>
void reseed(RunState& run = run_state) {
  if constexpr (F::protocol == SeedProtocol::none) {
    // Nothing to seed; a stream family may still want to know a trial begins.
    if constexpr (requires { F::seed(); }) F::seed();
    return;
  }
  if (run.first_use) first_use_step<F, Clock>(run);
  uint32_t* w = run.seeds.word;
  if constexpr (F::protocol == SeedProtocol::four_words) {
    fold_output_and_clock<F, Clock>(w[0], true);
    fold_output_and_clock<F, Clock>(w[1], false);
    fold_output_and_clock<F, Clock>(w[2], true);
    fold_output_and_clock<F, Clock>(w[3], false);
    F::seed(run.seeds.word);
  } else if constexpr (F::protocol != SeedProtocol::none) {
    fold_output_and_clock<F, Clock>(w[0], true);
    fold_output_and_clock<F, Clock>(w[1], false);
    F::seed(w[0], w[1]);
  }
}

// The throughput benchmarks' fixed seeding: seed words set to 1 and the
// family seeded from them by its own protocol; no clock is read, nothing
// waits and the first-use step never runs.
template <class F>
void fixed_seed(RunState& run = run_state) {
  static_assert(F::protocol != SeedProtocol::none, "the benchmark seeds its generator");
  uint32_t* w = run.seeds.word;
  if constexpr (F::protocol == SeedProtocol::four_words) {
    w[0] = w[1] = w[2] = w[3] = 1;
    F::seed(run.seeds.word);
  } else {
    w[0] = w[1] = 1;
    F::seed(w[0], w[1]);
  }
}

// Whether this processor has the instructions that the build F needs beyond
// the x86-64 baseline.
template <class F>
bool processor_can_run() {
  if constexpr (requires { F::processor_supported(); })
    return F::processor_supported();
  else
    return true;
}

// A build that needs instructions beyond the x86-64 baseline refuses to run on
// a processor without them instead of dying on an illegal instruction.
template <class F>
void require_processor(const char* program) {
  if constexpr (requires { F::processor_supported(); }) {
    if (!F::processor_supported()) {
      std::fprintf(stderr, "%s: this build needs a processor with %s, which this one lacks\n",
                   program, F::required_isa);
      std::exit(1);
    }
  }
}
