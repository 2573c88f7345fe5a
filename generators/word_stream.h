// A word stream: little-endian 32-bit words read from a file descriptor
// (standard input unless told otherwise), so that the suite's tests can run on
// any generator that writes its words to a pipe or a file.
//
// The words go through a 1 MiB buffer. The cursor's common case is a pointer
// increment and a compare; the refill is a real function. The stream has no
// seed: seeding only notes where a trial begins, and each trial continues the
// stream where the last one stopped. Input that ends (or fails) before a
// trial is complete ends the process with status 3 and one line on standard
// error naming the words read and the trial cut short.
#pragma once
#include <cstddef>
#include <cstdint>

#include "generators/family.h"

inline constexpr size_t STREAM_BUFFER_WORDS = size_t{1} << 18;  // 1 MiB
inline constexpr int STREAM_CUT_SHORT_STATUS = 3;

struct WordStreamState {
  // The current fill is [buffer, end); pos is the next word to hand out.
  const uint32_t* pos = buffer;
  const uint32_t* end = buffer;
  int fd = 0;
  const char* program = "rngtest";  // prefix of the end-of-input message
  bool at_end = false;              // read reported end of input or an error
  int read_error = 0;               // errno of a failed read, 0 for end of input
  size_t leftover_bytes = 0;        // bytes of an incomplete last word
  uint64_t words_before = 0;        // words of the fills before the current one
  uint64_t trial_start = 0;         // words read when the current trial began
  int trial = 0;                    // trials begun, counting from 1
  void (*reseeded)() = nullptr;     // called at every reseed (see stream_begin_trial)
  alignas(64) uint32_t buffer[STREAM_BUFFER_WORDS];
};

// Starts reading `fd` from scratch (a fresh state reads fd 0 without this
// call). Asks for a 1 MiB pipe buffer where the platform allows it, so that
// writer and reader trade places less often.
void stream_open(WordStreamState& s, int fd);

// Words handed out so far (not counting a live cursor's unsaved position).
inline uint64_t stream_words_read(const WordStreamState& s) {
  return s.words_before + static_cast<uint64_t>(s.pos - s.buffer);
}

// Notes a reseed. Every test reseeds at the start of each trial, some also
// once before the first trial or twice in a row; a reseed after words have
// been drawn since the previous one therefore starts the next trial. Whatever
// a test printed before a reseed belongs to finished trials or to the run's
// opening lines, never to a trial still drawing: the `reseeded` hook is told.
void stream_begin_trial(WordStreamState& s);

struct WordSpan {
  const uint32_t* pos;
  const uint32_t* end;
};

// Called when the current fill is used up: reads the next fill and returns
// it, or reports the cut-short trial and exits when no whole word is left.
[[gnu::noinline]] WordSpan stream_refill(WordStreamState& s);

struct WordStream {
  static constexpr const char* tag = "stdin";
  static constexpr SeedProtocol protocol = SeedProtocol::none;
  static inline WordStreamState state;

  static void seed() { stream_begin_trial(state); }
  static uint32_t next32() {
    if (state.pos == state.end) [[unlikely]] {
      const WordSpan fill = stream_refill(state);
      state.pos = fill.pos;
    }
    return *state.pos++;
  }

  class Cursor {
   public:
    Cursor() : pos_(state.pos), end_(state.end) {}
    ~Cursor() { state.pos = pos_; }
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;
    [[gnu::always_inline]] uint32_t next32() {
      if (pos_ == end_) [[unlikely]] {
        const WordSpan fill = stream_refill(state);
        pos_ = fill.pos;
        end_ = fill.end;
      }
      return *pos_++;
    }

   private:
    const uint32_t* pos_;
    const uint32_t* end_;
  };
};
