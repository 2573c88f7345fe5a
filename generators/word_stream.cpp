#include "generators/word_stream.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void stream_open(WordStreamState& s, int fd) {
  s.pos = s.buffer;
  s.end = s.buffer;
  s.fd = fd;
  s.at_end = false;
  s.read_error = 0;
  s.leftover_bytes = 0;
  s.words_before = 0;
  s.trial_start = 0;
  s.trial = 0;
#ifdef F_SETPIPE_SZ
  // Fails harmlessly on anything but a pipe, or above the system's limit.
  fcntl(fd, F_SETPIPE_SZ, static_cast<int>(sizeof s.buffer));
#endif
}

void stream_begin_trial(WordStreamState& s) {
  const uint64_t at = stream_words_read(s);
  if (s.trial == 0 || at != s.trial_start) {
    ++s.trial;
    s.trial_start = at;
  }
  if (s.reseeded != nullptr) s.reseeded();
}

namespace {

// Reads until the buffer is full or the input ends, so that a fill always
// holds whole words however the input arrives (pieces of any size, reads
// interrupted by signals, a descriptor left in non-blocking mode).
size_t fill_buffer(WordStreamState& s) {
  char* bytes = reinterpret_cast<char*>(s.buffer);
  const size_t capacity = sizeof s.buffer;
  size_t filled = 0;
  while (filled < capacity) {
    const ssize_t n = read(s.fd, bytes + filled, capacity - filled);
    if (n > 0) {
      filled += static_cast<size_t>(n);
    } else if (n == 0) {
      s.at_end = true;
      break;
    } else if (errno == EINTR) {
      continue;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd wait = {s.fd, POLLIN, 0};
      poll(&wait, 1, -1);
    } else {
      s.read_error = errno;
      s.at_end = true;
      break;
    }
  }
  s.leftover_bytes = filled % 4;
  const size_t words = filled / 4;
  if constexpr (std::endian::native == std::endian::big)
    for (size_t i = 0; i < words; ++i) s.buffer[i] = __builtin_bswap32(s.buffer[i]);
  return words;
}

[[noreturn]] void report_cut_short(const WordStreamState& s) {
  const uint64_t total = s.words_before;
  const int trial = s.trial > 0 ? s.trial : 1;
  char bytes[64] = "";
  if (s.leftover_bytes > 0)
    std::snprintf(bytes, sizeof bytes, " and %zu bytes of an incomplete word", s.leftover_bytes);
  char error[160] = "";
  if (s.read_error != 0)
    std::snprintf(error, sizeof error, " (read failed: %s)", std::strerror(s.read_error));
  std::fflush(stdout);
  std::fprintf(stderr,
               "%s: input ended after %llu words%s%s, %llu of them in trial %d, which is cut short"
               " and not reported\n",
               s.program, static_cast<unsigned long long>(total), bytes, error,
               static_cast<unsigned long long>(total - s.trial_start), trial);
  std::exit(STREAM_CUT_SHORT_STATUS);
}

}  // namespace

WordSpan stream_refill(WordStreamState& s) {
  s.words_before += static_cast<uint64_t>(s.end - s.buffer);
  s.pos = s.buffer;
  s.end = s.buffer;
  if (!s.at_end) s.end = s.buffer + fill_buffer(s);
  if (s.end == s.buffer) report_cut_short(s);
  return {s.pos, s.end};
}
