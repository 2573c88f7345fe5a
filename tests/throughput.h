// Throughput benchmark: how many 32-bit draws per second a family delivers.
//
// The same work is timed in eight loop shapes: shape v writes v draws one
// after another in its inner loop body and runs the outer loop jLoop / v
// times, so every shape makes exactly jLoop * iLoop draws (840 is divisible
// by 1 to 8). Before each shape the generator is seeded with fixed words, so
// every shape starts from the same state and leaves the same state behind;
// the next output after shape 8 is printed as a check value.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "harness/args.h"
#include "harness/clock.h"
#include "harness/output.h"
#include "harness/reseed.h"

inline constexpr int THROUGHPUT_SHAPES = 8;
inline constexpr int32_t JLOOP_UNIT = 840;  // divisible by every shape's width
inline constexpr int32_t JLOOP_MAX_FACTOR = INT32_MAX / JLOOP_UNIT;
inline constexpr double DEFAULT_M = 100;
inline constexpr double DEFAULT_B = 100;

struct ThroughputLoops {
  int32_t jLoop;  // outer loop count of shape 1
  int32_t iLoop;  // inner loop count of every shape
};

// `program [m [b]]`, read as atof reads them. m below 1 (or not a number)
// counts as 1, else its integer part; b below 1 counts as 1. Values whose
// loop counts would not fit in 32 bits are clamped to the largest that fit,
// jLoop staying a multiple of 840.
inline ThroughputLoops throughput_loops(int argc, char** argv) {
  double m = argc > 1 ? parse_real(argv[1]) : DEFAULT_M;
  double b = argc > 2 ? parse_real(argv[2]) : DEFAULT_B;
  if (!(m >= 1)) m = 1;  // NaN included
  if (!(b >= 1)) b = 1;
  const double factor = std::trunc(m);
  ThroughputLoops loops;
  loops.jLoop =
      JLOOP_UNIT * (factor > JLOOP_MAX_FACTOR ? JLOOP_MAX_FACTOR : static_cast<int32_t>(factor));
  // 0.01 * 240001 is formed first: just above 2400.01, so b = 100 gives 240001.
  const double per_b = 0.01 * 240001;
  const double inner = b * per_b;
  loops.iLoop = inner >= 2147483648.0 ? INT32_MAX : static_cast<int32_t>(inner);
  return loops;
}

// One timed draw: a family whose cursor can skip (advance without forming a
// word) skips; otherwise the word is drawn and ignored. An ignored word would
// let the compiler drop the part of the draw that only forms it (MT19937's
// load and tempering), so the empty asm claims the word in a register: it
// emits no instruction, but the word must exist.
template <class Cursor>
[[gnu::always_inline]] inline void throughput_draw(Cursor& draw) {
  if constexpr (requires { draw.skip(); }) {
    draw.skip();
  } else {
    const uint32_t word = draw.next32();
    asm volatile("" : : "r"(word));
  }
}

// Shape V: the outer loop jLoop / V times, the inner iLoop times, V draws
// written out in the inner body. Nothing else is in the loops.
template <class F, size_t... Draw>
void throughput_shape(int32_t jLoop, int32_t iLoop, std::index_sequence<Draw...>) {
  constexpr int32_t width = sizeof...(Draw);
  typename F::Cursor draw;
  const int32_t outer = jLoop / width;
  for (int32_t j = 0; j < outer; ++j) {
    for (int32_t i = 0; i < iLoop; ++i) {
      ((static_cast<void>(Draw), throughput_draw(draw)), ...);
    }
  }
}

template <class F, int V>
void throughput_shape(int32_t jLoop, int32_t iLoop) {
  throughput_shape<F>(jLoop, iLoop, std::make_index_sequence<V>{});
}

// A rate from a shape faster than the clock's millisecond is infinite and
// prints as the platform prints an infinite double.
inline double throughput_rate(ThroughputLoops loops, double seconds) {
  const double draws = static_cast<double>(loops.iLoop) * loops.jLoop;
  return seconds > 0 ? draws / seconds : INFINITY;
}

using ThroughputLine = TextBuffer<128>;

inline void format_shape_line(ThroughputLine& line, int v, double seconds, double rate) {
  line.add("%d: %8.3f sec\t %8x \t%.3e counts/sec\n", v, seconds, 0u, rate);
}

// Total time, mean rate (sum x 0.125), largest rate (at least 0), check value
// and the closing line. Rates are never negative or NaN, so an infinite rate
// makes the mean and the largest rate infinite as well.
inline void format_summary(TextBuffer<256>& text, const double (&variant_seconds)[8],
                           const double (&rates)[8], uint32_t check) {
  double total = 0;
  double sum = 0;
  double largest = 0;
  for (int v = 0; v < THROUGHPUT_SHAPES; ++v) {
    total += variant_seconds[v];
    sum += rates[v];
    if (rates[v] > largest) largest = rates[v];
  }
  text.add("Total time= %.3f sec\n", total);
  text.add("  Ave= \t%.3e\t counts/sec\n", sum * 0.125);
  text.add("  Max= \t%.3e\t counts/sec\n", largest);
  text.add("%x\n", check);
  text.add("-------------------\n");
}

// The header names the program and the arguments as given; with three or
// more arguments there is none. Without arguments the first field is empty.
inline void format_header(ThroughputLine& line, int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "";
  if (argc <= 2) {
    line.add("\n%s\t%s\n", program, argc > 1 ? argv[1] : "");
  } else if (argc == 3) {
    line.add("\n%s\t%s\t%s\n", program, argv[1], argv[2]);
  }
}

// Seeds, times and prints shape V; returns its seconds.
template <class F, class Clock, int V>
double throughput_time_shape(ThroughputLoops loops, double& rate) {
  fixed_seed<F>();
  const double start = start_tick<Clock>();
  throughput_shape<F, V>(loops.jLoop, loops.iLoop);
  const double seconds = elapsed_seconds<Clock>(start);
  rate = throughput_rate(loops, seconds);
  ThroughputLine line;
  format_shape_line(line, V, seconds, rate);
  print_now(line);
  return seconds;
}

template <class F, class Clock, size_t... Shape>
void throughput_time_shapes(ThroughputLoops loops, double (&variant_seconds)[8], double (&rates)[8],
                            std::index_sequence<Shape...>) {
  ((variant_seconds[Shape] =
        throughput_time_shape<F, Clock, static_cast<int>(Shape) + 1>(loops, rates[Shape])),
   ...);
}

// The whole program: header, loop counts, eight timed shapes, summary.
template <class F, class Clock = SystemClock>
int throughput_run(int argc, char** argv) {
  require_processor<F>(argc > 0 ? argv[0] : "");
  ThroughputLine line;
  format_header(line, argc, argv);
  print_now(line);
  const ThroughputLoops loops = throughput_loops(argc, argv);
  line.clear();
  line.add("jLoop= %d, iLoop= %d\n", loops.jLoop, loops.iLoop);
  print_now(line);

  double variant_seconds[THROUGHPUT_SHAPES];
  double rates[THROUGHPUT_SHAPES];
  throughput_time_shapes<F, Clock>(loops, variant_seconds, rates,
                                   std::make_index_sequence<THROUGHPUT_SHAPES>{});
  TextBuffer<256> summary;
  format_summary(summary, variant_seconds, rates, F::next32());
  print_now(summary);
  return 0;
}
