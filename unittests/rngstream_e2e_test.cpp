#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "harness/reseed.h"
#include "generators/sfmt.h"
#include "unittests/run_program.h"

namespace {

struct StreamVector {
  std::vector<std::string> args;
  std::string hex;  // the words expected first, one a line
};

const StreamVector vectors[] = {
    {{"xor", "none"}, "dca345ea\n1b5116e6\n951049aa\n"},
    {{"xor", "seed2", "1", "1"}, "d77da142\nbe3bf7e7\n9351cfdb\n"},
    {{"xor", "seed2", "0", "0"}, "827bc4c6\n3b413e09\n05e43900\n"},
    {{"xor", "seed2-fold", "0x1", "0X1"}, "86fb0086\n05465086\n3c2af7f3\n"},
    {{"xor", "seed4", "1", "1", "1", "1"}, "732d71f8\n293f10b4\n00f93dd4\n"},
    {{"xor", "seed4", "0", "0", "0", "0"}, "827bc4c6\n3b413e09\n05e43900\n"},
    {{"mt", "none"}, "d091bb5c\n22ae9ef6\ne7e1faee\n"},
    {{"mt", "seed", "5489"}, "d091bb5c\n22ae9ef6\ne7e1faee\n"},
    {{"mt", "array", "1", "2", "3", "4"}, "adca257a\n3cf9b18f\n13f22eaa\n"},
    {{"sfmt", "seed", "1234"}, "cd0d0032\n5d47f5d7\n5a0afbf6\n"},
    {{"sfmt", "array", "0x1234", "0x5678", "0x9abc", "0xdef0"}, "ae16840f\ne79bc649\nd0baa830\n"},
    {{"sfmt", "array"}, "fda1cd77\ncd3d4b22\nf66f2e96\n"},
    {{"sfsse2", "seed", "1234"}, "cd0d0032\n5d47f5d7\n5a0afbf6\n"},
    {{"sfsse2", "array", "0x1234", "0x5678", "0x9abc", "0xdef0"}, "ae16840f\ne79bc649\nd0baa830\n"},
    {{"sfsse2", "array"}, "fda1cd77\ncd3d4b22\nf66f2e96\n"},
    {{"rb5u", "seed", "0x12345678", "0x9abcdef0"}, "d822a6ed\nd03a7c04\n3d7f6aca\n"},
    {{"rb5u", "seed", "4294901761", "1"}, "d8e4dca7\nc9bfe18c\n6c73c7a7\n"},
    {{"rb5u", "none"}, "00000000\n00000000\n00000000\n"},
    {{"rb5usse4", "seed", "1", "1"}, "a8b5f407\n618c74bc\n38f8e053\n"},
    {{"rb3w", "seed", "305419896", "0x9ABCDEF0"}, "2b69448b\n6db7eb65\n8f990769\n"},
    {{"rb3w", "none"}, "d7baec03\nd7baec03\nd7baec03\n"},
    {{"rb3wsse4", "seed", "1", "1"}, "ca0cf261\n3112413a\n11680c24\n"},
};

ProgramRun stream(std::vector<std::string> args) {
  args.insert(args.begin(), "rngstream");
  TempDir dir;
  return run_program(args, dir.path());
}

TEST(Rngstream, HexMatchesReferenceWords) {
  for (const StreamVector& v : vectors) {
    if (v.args[0].find("sse4") != std::string::npos && !processor_can_run<Rb5uSse4>()) continue;
    std::vector<std::string> args = v.args;
    args.insert(args.end(), {"--count", "3", "--hex"});
    const ProgramRun run = stream(args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, v.hex) << args[0] << " " << args[1];
  }
}

// A key of any length, beyond the 624 words of the state too and with zero
// words, reaches the array seeding whole.
TEST(Rngstream, ArrayKeysReachTheSeedingWhole) {
  struct Case {
    const char* family;
    std::vector<uint32_t> key;
    uint32_t (*first_word)(const std::vector<uint32_t>& key, int skip);
  };
  auto mt = [](const std::vector<uint32_t>& key, int skip) {
    MtState s;
    mt_seed_array(s, key.data(), static_cast<int>(key.size()));
    for (int i = 0; i < skip; ++i) mt_next32(s);
    return mt_next32(s);
  };
  auto sfmt = [](const std::vector<uint32_t>& key, int skip) {
    SfmtState s;
    sfmt_seed_array(s, key.data(), static_cast<int>(key.size()));
    for (int i = 0; i < skip; ++i) sfmt_portable::sfmt_next32(s);
    return sfmt_portable::sfmt_next32(s);
  };
  std::vector<uint32_t> long_key;
  for (uint32_t i = 0; i < 700; ++i) long_key.push_back(i * 2654435769u);
  const Case cases[] = {
      {"mt", long_key, mt},
      {"mt", {0}, mt},
      {"sfmt", long_key, sfmt},
      {"sfmt", {0, 0, 0}, sfmt},
      {"sfsse2", long_key, sfmt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    std::vector<std::string> args = {c.family, "array"};
    for (uint32_t k : c.key) args.push_back(std::to_string(k));
    args.insert(args.end(), {"--count", "3", "--hex"});
    std::string expected;
    for (int i = 0; i < 3; ++i) {
      char line[16];
      std::snprintf(line, sizeof line, "%08x\n", c.first_word(c.key, i));
      expected += line;
    }
    const ProgramRun run = stream(args);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, expected);
  }
}

TEST(Rngstream, RawIsLittleEndianHexAndSkipDiscards) {
  const ProgramRun raw = stream({"xor", "seed2", "1", "1", "--count", "1000"});
  const ProgramRun hex = stream({"xor", "seed2", "1", "1", "--count", "1000", "--hex"});
  ASSERT_EQ(raw.out.size(), 4000u);
  std::string from_raw;
  for (size_t i = 0; i < raw.out.size(); i += 4) {
    uint32_t w = 0;
    for (int b = 3; b >= 0; --b) w = (w << 8) | static_cast<unsigned char>(raw.out[i + b]);
    char line[16];
    std::snprintf(line, sizeof line, "%08x\n", w);
    from_raw += line;
  }
  EXPECT_EQ(from_raw, hex.out);
  const ProgramRun skipped = stream({"--hex", "xor", "seed2", "1", "1", "--skip", "998", "--count", "2"});
  EXPECT_EQ(skipped.out, hex.out.substr(998 * 9));
}

TEST(Rngstream, EndlessStreamEndsQuietlyWhenTheReaderCloses) {
  const std::string command = "set -o pipefail; " + program_path("rngstream") +
                              " xor none 2>/tmp/rngstream-pipe-err | head -c 100000 >/dev/null";
  EXPECT_EQ(std::system(("bash -c '" + command + "'").c_str()), 0);
  EXPECT_EQ(read_file("/tmp/rngstream-pipe-err"), "");
}

TEST(Rngstream, BadInputGetsOneLineAndStatus2) {
  const std::vector<std::string> cases[] = {
      {},
      {"xor"},
      {"nosuch", "none"},
      {"xor", "nosuch"},
      {"xor", "seed2", "1"},
      {"xor", "seed2", "1", "2", "3"},
      {"xor", "seed2", "1", "x"},
      {"xor", "seed2", "1", "-1"},
      {"xor", "seed2", "1", "4294967296"},
      {"xor", "seed2", "1", "0x100000000"},
      {"xor", "seed2", "1", "0x"},
      {"xor", "none", "--count"},
      {"xor", "none", "--count", "ten"},
      {"xor", "none", "--bogus"},
      {"mt", "seed"},
      {"mt", "seed", "1", "2"},
      {"mt", "array"},
      {"sfmt", "none"},
      {"sfmt", "seed"},
      {"sfsse2", "seed", "1", "2"},
      // Rb5u and Rb3w would replace a zero seed word from the clock.
      {"rb5u", "seed", "0", "1"},
      {"rb5u", "seed", "1", "0x0"},
      {"rb5usse4", "seed", "0", "0"},
      {"rb3w", "seed", "0", "1"},
      {"rb3wsse4", "seed", "1", "0"},
  };
  for (const auto& args : cases) {
    const ProgramRun run = stream(args);
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(run.exit_code, 2) << shown;
    EXPECT_EQ(run.out, "") << shown;
    EXPECT_FALSE(run.err.empty()) << shown;
    EXPECT_EQ(run.err.rfind("rngstream: ", 0), 0u) << shown;
  }
}

}  // namespace
