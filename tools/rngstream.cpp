// rngstream: writes a family's 32-bit words, for external test batteries and
// for checking a generator against reference words.
//
//   rngstream FAMILY SEEDING [WORD...] [--skip N] [--count N] [--hex]
//
// Raw output is little-endian 32-bit words, endless unless --count is given;
// --hex writes one word a line as eight lower-case hex digits. The stream ends
// quietly when the reader closes the pipe. Bad input: one line on standard
// error and exit status 2.
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generators/mt19937.h"
#include "generators/rb3w.h"
#include "generators/rb5u.h"
#include "generators/sfmt.h"
#include "generators/xorshift128.h"
#include "harness/output.h"
#include "harness/reseed.h"

namespace {

struct Options {
  uint64_t skip = 0;
  uint64_t count = 0;
  bool counted = false;
  bool hex = false;
};

[[noreturn]] void fail(const char* format, const char* detail) {
  std::fputs("rngstream: ", stderr);
  std::fprintf(stderr, format, detail);
  std::fputc('\n', stderr);
  std::exit(2);
}

constexpr size_t OUT_CAPACITY = 1 << 16;
constexpr int MAX_WORDS = 4096;

class Output {
 public:
  // Raw words straight from the caller's block, in large writes: the words
  // are formed in place as little-endian bytes.
  void put_raw(uint32_t* words, size_t count) {
    flush();
    if constexpr (std::endian::native == std::endian::big)
      for (size_t i = 0; i < count; ++i) words[i] = __builtin_bswap32(words[i]);
    write_out(reinterpret_cast<const char*>(words), count * 4);
  }
  void put_hex(uint32_t w) {
    static constexpr char digits[] = "0123456789abcdef";
    if (size_ + 9 > OUT_CAPACITY) flush();
    for (int i = 7; i >= 0; --i) buffer_[size_++] = digits[(w >> (4 * i)) & 15];
    buffer_[size_++] = '\n';
  }
  void flush() {
    write_out(buffer_, size_);
    size_ = 0;
  }

 private:
  static void write_out(const char* p, size_t size) {
    if (write_all(STDOUT_FILENO, p, size)) return;
    if (errno == EPIPE) std::exit(0);  // the reader has had enough
    std::fprintf(stderr, "rngstream: cannot write: %s\n", std::strerror(errno));
    std::exit(1);
  }
  char buffer_[OUT_CAPACITY];
  size_t size_ = 0;
};

Output output;

// Draws through the family's hot-loop cursor, from its program-wide state, a
// block at a time: the draw loop stays tight and the raw words go out in
// writes of 256 KiB.
template <class F>
void write_words(const Options& options) {
  constexpr uint64_t BLOCK_WORDS = 1 << 16;
  static uint32_t block[BLOCK_WORDS];
  typename F::Cursor draw;
  for (uint64_t i = 0; i < options.skip; ++i) draw.next32();
  const bool endless = !options.counted;
  for (uint64_t left = options.count; endless || left > 0;) {
    const uint64_t n = endless || left > BLOCK_WORDS ? BLOCK_WORDS : left;
    uint64_t i = 0;
    for (; i + 4 <= n; i += 4) {  // unrolled: the state rotation costs no moves
      block[i] = draw.next32();
      block[i + 1] = draw.next32();
      block[i + 2] = draw.next32();
      block[i + 3] = draw.next32();
    }
    for (; i < n; ++i) block[i] = draw.next32();
    if (options.hex)
      for (uint64_t i = 0; i < n; ++i) output.put_hex(block[i]);
    else
      output.put_raw(block, n);
    if (!endless) left -= n;
  }
  output.flush();
}

// One way to start a family's stream. A seeding takes between min_words and
// max_words seed words (max_words -1: any number).
struct Source {
  const char* family;
  const char* seeding;
  int min_words;
  int max_words;
  bool nonzero_words;  // zero words would make the stream depend on the clock
  void (*seed)(const uint32_t* words, int count);
  void (*write)(const Options&);
};

void seed_nothing(const uint32_t*, int) {}

// Families seeded by reference from two non-zero words (checked before).
template <class F>
void seed_two_words(const uint32_t* k, int) {
  require_processor<F>("rngstream");
  uint32_t k0 = k[0], k1 = k[1];
  F::seed(k0, k1);
}

const Source sources[] = {
    {"xor", "none", 0, 0, false, seed_nothing, write_words<Xor128>},
    {"xor", "seed2", 2, 2, false,
     [](const uint32_t* k, int) { xor128_seed2(Xor128::state, k[0], k[1]); },
     write_words<Xor128>},
    {"xor", "seed2-fold", 2, 2, false,
     [](const uint32_t* k, int) { xor128_seed2_fold(Xor128::state, k[0], k[1]); },
     write_words<Xor128>},
    {"xor", "seed4", 4, 4, false,
     [](const uint32_t* k, int) { xor128_seed4(Xor128::state, k[0], k[1], k[2], k[3]); },
     write_words<Xor128>},
    {"mt", "none", 0, 0, false, seed_nothing, write_words<Mt>},
    {"mt", "seed", 1, 1, false, [](const uint32_t* k, int) { mt_seed(Mt::state, k[0]); },
     write_words<Mt>},
    {"mt", "array", 1, -1, false,
     [](const uint32_t* k, int n) { mt_seed_array(Mt::state, k, n); }, write_words<Mt>},
    {"rb5u", "none", 0, 0, false, seed_nothing, write_words<Rb5u>},
    {"rb5u", "seed", 2, 2, true, seed_two_words<Rb5u>, write_words<Rb5u>},
    {"rb5usse4", "seed", 2, 2, true, seed_two_words<Rb5uSse4>, write_words<Rb5uSse4>},
    {"rb3w", "none", 0, 0, false, seed_nothing, write_words<Rb3w>},
    {"rb3w", "seed", 2, 2, true, seed_two_words<Rb3w>, write_words<Rb3w>},
    {"rb3wsse4", "seed", 2, 2, true, seed_two_words<Rb3wSse4>, write_words<Rb3wSse4>},
    {"sfmt", "seed", 1, 1, false, [](const uint32_t* k, int) { sfmt_seed(Sfmt::state, k[0]); },
     write_words<Sfmt>},
    {"sfmt", "array", 0, -1, false,
     [](const uint32_t* k, int n) { sfmt_seed_array(Sfmt::state, k, n); }, write_words<Sfmt>},
    {"sfsse2", "seed", 1, 1, false,
     [](const uint32_t* k, int) { sfmt_seed(SfmtSse2::state, k[0]); }, write_words<SfmtSse2>},
    {"sfsse2", "array", 0, -1, false,
     [](const uint32_t* k, int n) { sfmt_seed_array(SfmtSse2::state, k, n); },
     write_words<SfmtSse2>},
};

// A seed word: decimal, or hexadecimal with a 0x prefix; at most 32 bits.
uint32_t parse_word(const char* text) {
  const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* digits = hex ? text + 2 : text;
  if (*digits == '\0') fail("'%s' is not a number", text);
  uint64_t value = 0;
  for (const char* p = digits; *p; ++p) {
    int d;
    if (*p >= '0' && *p <= '9')
      d = *p - '0';
    else if (hex && *p >= 'a' && *p <= 'f')
      d = *p - 'a' + 10;
    else if (hex && *p >= 'A' && *p <= 'F')
      d = *p - 'A' + 10;
    else
      fail("'%s' is not a number (decimal, or hexadecimal with 0x)", text);
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(d);
    if (value > UINT32_MAX) fail("'%s' does not fit in 32 bits", text);
  }
  return static_cast<uint32_t>(value);
}

uint64_t parse_count(const char* option, const char* text) {
  if (text == nullptr) fail("%s needs a number", option);
  if (*text < '0' || *text > '9') fail("'%s' is not a count", text);
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (*end != '\0' || errno == ERANGE) fail("'%s' is not a count", text);
  return value;
}

void usage_families() {
  std::fputs("rngstream: usage: rngstream FAMILY SEEDING [WORD...] [--skip N] [--count N] [--hex];"
             " sources:",
             stderr);
  for (const Source& s : sources) std::fprintf(stderr, " %s/%s", s.family, s.seeding);
  std::fputc('\n', stderr);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);  // a closed pipe shows up as EPIPE and ends quietly
  Options options;
  static const char* positional[MAX_WORDS + 2];
  int npositional = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--hex") == 0) {
      options.hex = true;
    } else if (std::strcmp(arg, "--skip") == 0) {
      options.skip = parse_count(arg, i + 1 < argc ? argv[++i] : nullptr);
    } else if (std::strcmp(arg, "--count") == 0) {
      options.count = parse_count(arg, i + 1 < argc ? argv[++i] : nullptr);
      options.counted = true;
    } else if (arg[0] == '-' && arg[1] == '-') {
      fail("unknown option '%s'", arg);
    } else {
      if (npositional == MAX_WORDS + 2) fail("too many seed words at '%s'", arg);
      positional[npositional++] = arg;
    }
  }
  if (npositional < 2) usage_families();

  const char* family = positional[0];
  const char* seeding = positional[1];
  const int nwords = npositional - 2;
  bool family_known = false;
  for (const Source& s : sources) {
    if (std::strcmp(s.family, family) != 0) continue;
    family_known = true;
    if (std::strcmp(s.seeding, seeding) != 0) continue;
    if (nwords < s.min_words) fail("seeding '%s' needs more seed words", seeding);
    if (s.max_words >= 0 && nwords > s.max_words) fail("seeding '%s' takes fewer seed words", seeding);
    static uint32_t words[MAX_WORDS];
    for (int i = 0; i < nwords; ++i) {
      words[i] = parse_word(positional[2 + i]);
      if (s.nonzero_words && words[i] == 0)
        fail("seed word '%s' is zero; this family would replace it from the clock", positional[2 + i]);
    }
    s.seed(words, nwords);
    s.write(options);
    return 0;
  }
  if (!family_known) fail("unknown family '%s'", family);
  fail("unknown seeding '%s' for this family", seeding);
}
