// rngtest: runs one of the suite's tests on 32-bit words read from standard
// input, so that any generator can be tested through a pipe or from a file.
//
//   rngtest TEST [--tag NAME] [--trials N] [TEST ARGS...]
//
// The output lines and result files are those of the test's programs, with
// NAME (default "stdin") as the generator tag in the file names. The stream
// has no seed, so the seed words print as zeros. Input that ends before a
// trial is complete: that trial is not reported, one line on standard error,
// exit status 3. Bad arguments: one line on standard error, exit status 2.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "generators/word_stream.h"
#include "tests/bit_transition.h"
#include "tests/chi_square.h"
#include "tests/lag.h"
#include "tests/run_length.h"

namespace {

constexpr int USAGE_STATUS = 2;
constexpr int MAX_ARGS = 64;
constexpr size_t MAX_TAG = 40;

// A test as rngtest runs it: `trials` is 0 unless --trials was given.
struct TestEntry {
  const char* name;
  bool fixed_trials;  // the programs fix the count: --trials sets it
  bool takes_args;    // the test reads arguments of its own
  int (*run)(int argc, char** argv, const char* tag, int trials);
};

template <class Test>
int run_chi_square(int argc, char** argv, const char* tag, int trials) {
  return chi_square_run<Test, WordStream>(argc, argv, tag, trials > 0 ? trials : CHI_TRIALS);
}

// The other tests take their trial count from their own arguments.
int run_len03(int argc, char** argv, const char* tag, int) {
  return len03_run<WordStream>(argc, argv, tag);
}
int run_lenser(int argc, char** argv, const char* tag, int) {
  return lenser_run<WordStream>(argc, argv, tag);
}
int run_pair(int argc, char** argv, const char* tag, int) {
  return bit_transition_run<WordStream>(argc, argv, tag);
}
int run_lag(int argc, char** argv, const char* tag, int) {
  return lag_run<WordStream>(argc, argv, tag);
}

const TestEntry tests[] = {
    {"chi6", true, false, run_chi_square<ChiTest6>},
    {"chi7", true, false, run_chi_square<ChiTest7>},
    {"chi8", true, false, run_chi_square<ChiTest8>},
    {"len03", false, true, run_len03},
    {"lenser", false, true, run_lenser},
    {"pair", false, true, run_pair},
    {"lag", false, true, run_lag},
};

[[noreturn]] void usage(const char* format = nullptr, const char* detail = "") {
  std::fputs("rngtest: ", stderr);
  if (format != nullptr) {
    std::fprintf(stderr, format, detail);
    std::fputs("; ", stderr);
  }
  std::fputs("usage: rngtest TEST [--tag NAME] [--trials N] [TEST ARGS...], TEST one of", stderr);
  for (const TestEntry& t : tests) std::fprintf(stderr, " %s", t.name);
  std::fputc('\n', stderr);
  std::exit(USAGE_STATUS);
}

const TestEntry& find_test(const char* name) {
  for (const TestEntry& t : tests)
    if (std::strcmp(t.name, name) == 0) return t;
  usage("unknown test '%s'", name);
}

// The tag becomes part of file names: letters, digits, '.', '_' and '-' only.
const char* checked_tag(const char* text) {
  if (text == nullptr) usage("--tag needs a name");
  const size_t length = std::strlen(text);
  if (length == 0 || length > MAX_TAG) usage("tag '%s' must have 1 to 40 characters", text);
  if (text[0] == '.' || std::strspn(text,
                                    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                    "0123456789._-") != length)
    usage("tag '%s' may hold only letters, digits, '.', '_' and '-' (not first '.')", text);
  return text;
}

int checked_trials(const char* text) {
  if (text == nullptr) usage("--trials needs a number");
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (*text < '0' || *text > '9' || *end != '\0' || errno == ERANGE || value < 1 ||
      value > 2147483647)
    usage("--trials '%s' is not a whole number from 1 up", text);
  return static_cast<int>(value);
}

// Standard output is held in memory from one reseed to the next (or until
// the test returns): every test reseeds before a trial draws and prints the
// trial's results before the next reseed, so a trial that the input cuts
// short prints nothing, not even its seed line or progress marks, while the
// lines of finished trials and the run's opening lines go out. Where no
// memory file can be made, output goes straight out.
int held_output = -1;
int real_output = -1;

void hold_output() {
  std::fflush(stdout);
  held_output = memfd_create("rngtest-trial", MFD_CLOEXEC);
  if (held_output < 0) return;
  real_output = dup(STDOUT_FILENO);
  if (real_output < 0 || dup2(held_output, STDOUT_FILENO) < 0) {
    close(held_output);
    held_output = -1;
  }
}

void release_output() {
  std::fflush(stdout);
  if (held_output < 0) return;
  static char chunk[1 << 16];
  off_t at = 0;
  for (;;) {
    const ssize_t n = pread(held_output, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    // As for a program's own output, a failed write has nowhere to be reported.
    write_all(real_output, chunk, static_cast<size_t>(n));
    at += n;
  }
  if (ftruncate(held_output, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) {
    // A memory file that cannot be emptied: give up holding back.
    dup2(real_output, STDOUT_FILENO);
    close(held_output);
    held_output = -1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) usage();
  const TestEntry& test = find_test(argv[1]);
  const char* tag = WordStream::tag;
  int trials = 0;
  // The test's own command line: the program name, then its arguments.
  static char* test_argv[MAX_ARGS + 2];
  int test_argc = 0;
  test_argv[test_argc++] = argv[0];
  for (int i = 2; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--tag") == 0) {
      tag = checked_tag(i + 1 < argc ? argv[++i] : nullptr);
    } else if (std::strcmp(arg, "--trials") == 0) {
      trials = checked_trials(i + 1 < argc ? argv[++i] : nullptr);
    } else if (arg[0] == '-' && arg[1] == '-') {
      usage("unknown option '%s'", arg);
    } else {
      if (!test.takes_args) usage("%s takes no arguments besides --tag and --trials", test.name);
      if (test_argc == MAX_ARGS + 1) usage("too many arguments at '%s'", arg);
      test_argv[test_argc++] = argv[i];
    }
  }
  if (trials > 0 && !test.fixed_trials)
    usage("%s takes its number of trials from its own arguments, not --trials", test.name);
  test_argv[test_argc] = nullptr;
  stream_open(WordStream::state, 0);
  hold_output();
  WordStream::state.reseeded = release_output;
  const int status = test.run(test_argc, test_argv, tag, trials);
  release_output();
  // A test's own usage error (len03's) has printed the program's usage line.
  return status == 0 ? 0 : USAGE_STATUS;
}
