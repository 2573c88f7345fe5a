// The run-length programs end to end: usage errors, the shape of every output
// line, the three result files, appending across runs, and result files that
// the printed seed words reproduce.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "generators/mt19937.h"
#include "generators/rb5u.h"
#include "generators/xorshift128.h"
#include "tests/run_length.h"
#include "unittests/run_program.h"

namespace {

std::vector<std::string> files_in(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

std::string field(double value, const char* format) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// ---------------------------------------------------------------------------
// Checking one trial's text

const std::regex seed_line(R"(([ 0-9a-f]{7}[0-9a-f]), ([ 0-9a-f]{7}[0-9a-f]), ([ 0-9a-f]{7}[0-9a-f]), ([ 0-9a-f]{7}[0-9a-f]))");
const std::regex count_line(R"((\d+)\t( {0,15}\d+\.\d{3})\t( {0,15}\d+)\t( {0,15}\d+))");
const std::regex out_sums(R"(KaiSq\(1to30\)= (\d+\.\d{3}), (\d+\.\d{3}), (\d+\.\d{3}))");
const std::regex file_sums(R"(KaiSq\(1to30\)= 0:(\d+\.\d{3}), 1:(\d+\.\d{3}), Sum:(\d+\.\d{3}))");

// The counts of lengths 1 to `lengths` read back from table lines, checked
// for shape, length labels, field widths and E(L).
struct ReadTable {
  std::vector<double> zero_runs{0}, one_runs{0};  // index = length
};

ReadTable read_table(const std::vector<std::string>& lines, size_t first, int lengths,
                     double first_expected) {
  ReadTable table;
  double expected = first_expected;
  for (int length = 1; length <= lengths; ++length, expected *= 0.5) {
    const std::string& line = lines.at(first + length - 1);
    std::smatch m;
    EXPECT_TRUE(std::regex_match(line, m, count_line)) << line;
    if (m.empty()) return table;
    EXPECT_EQ(m[1].str(), std::to_string(length));
    EXPECT_EQ(m[2].str(), field(expected, "%16.3f"));
    EXPECT_EQ(m[3].length(), 16);
    EXPECT_EQ(m[4].length(), 16);
    table.zero_runs.push_back(std::stod(m[3]));
    table.one_runs.push_back(std::stod(m[4]));
  }
  return table;
}

// The sums line holds the chi-square sums of the printed counts.
void expect_sums(const std::string& line, const std::regex& form, const ReadTable& table,
                 double first_expected) {
  std::smatch m;
  ASSERT_TRUE(std::regex_match(line, m, form)) << line;
  double zero = 0, one = 0, expected = first_expected;
  for (int length = 1; length <= 30; ++length, expected *= 0.5) {
    zero += (table.zero_runs[length] - expected) * (table.zero_runs[length] - expected) / expected;
    one += (table.one_runs[length] - expected) * (table.one_runs[length] - expected) / expected;
  }
  EXPECT_EQ(m[1].str(), field(zero, "%.3f"));
  EXPECT_EQ(m[2].str(), field(one, "%.3f"));
  EXPECT_EQ(m[3].str(), field(zero + one, "%.3f"));
}

// Runs alternate in value, so the recorded runs of 0s and of 1s differ in
// number by at most one; their lengths cover at most `bits` - 1 bits (the
// open run is at least 1 long).
void expect_consistent_counts(const ReadTable& table, double bits) {
  double zeros = 0, ones = 0, covered = 0;
  for (int length = 1; length <= 63; ++length) {
    zeros += table.zero_runs[length];
    ones += table.one_runs[length];
    covered += length * (table.zero_runs[length] + table.one_runs[length]);
  }
  EXPECT_LE(std::fabs(zeros - ones), 1.0);
  EXPECT_LE(covered, bits - 1);
  EXPECT_GT(zeros, 0);
}

// A result file's block of one trial: 63 count lines (the first 30 equal to
// standard output's), for LenTestSer the lCount line, then the sums.
ReadTable check_result_block(const std::vector<std::string>& file, size_t first,
                             const std::vector<std::string>& out, size_t out_first,
                             double first_expected, bool lcount) {
  const ReadTable table = read_table(file, first, 63, first_expected);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(file.at(first + i), out.at(out_first + i));
  size_t next = first + 63;
  if (lcount) {
    EXPECT_TRUE(std::regex_match(file.at(next++), std::regex(R"(lCount= [1-9]\d*)")));
  }
  expect_sums(file.at(next), file_sums, table, first_expected);
  return table;
}

// The all-trials file of one run with `tables` (one per trial), starting at
// line `first`; returns the line after it.
size_t check_all_trials(const std::vector<std::string>& all, size_t first,
                        const std::vector<ReadTable>& tables) {
  std::string header;
  for (size_t t = 1; t <= tables.size(); ++t) header += std::to_string(t) + "\t";
  EXPECT_EQ(all.at(first), header);
  for (int bit = 0; bit <= 1; ++bit) {
    size_t at = first + 1 + bit * 64;
    if (bit == 1) {
      EXPECT_EQ(all.at(at++), "");
    }
    EXPECT_EQ(all.at(at++), bit == 0 ? "Len of 0" : "Len of 1");
    for (int length = 1; length <= 63; ++length) {
      std::string row;
      for (const ReadTable& t : tables)
        row += field(bit == 0 ? t.zero_runs[length] : t.one_runs[length], "%16.0f") + "\t";
      EXPECT_EQ(all.at(at++), row) << "bit " << bit << " length " << length;
    }
  }
  return first + 130;
}

std::string seconds_of(const std::string& line, const char* separator) {
  std::smatch m;
  EXPECT_TRUE(std::regex_match(line, m, std::regex(std::string(R"((\d+\.\d{3}))") + separator + "sec")))
      << line;
  return m.empty() ? "" : m[1].str();
}

// ---------------------------------------------------------------------------
// LenTest03

TEST(Len03Programs, UsageErrorsPrintOneLineAndTouchNothing) {
  struct Case {
    std::vector<std::string> args;
    const char* line;
  } cases[] = {
      {{}, "2:program.exe xx( 0 to 31 )"},
      {{"-1"}, "1:program.exe xx( 0 to 31 )"},
      {{"32"}, "1:program.exe xx( 0 to 31 )"},
      {{"4294967296"}, "1:program.exe xx( 0 to 31 )"},  // saturates; does not wrap to 0
      {{"32", "0"}, "1:program.exe xx( 0 to 31 )"},     // xx is checked first
      {{"0", "0"}, "3:program.exe xx yy( 1 to 256 )"},
      {{"31", "257"}, "3:program.exe xx yy( 1 to 256 )"},
      {{"5", "-3"}, "3:program.exe xx yy( 1 to 256 )"},
      {{"5", "many"}, "3:program.exe xx yy( 1 to 256 )"},  // no digits reads as 0
      {{"5", "4294967297"}, "3:program.exe xx yy( 1 to 256 )"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {"len03-xor"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(testing::Message() << c.args.size() << " arguments: " << (c.args.empty() ? "" : c.args[0]));
    TempDir dir;
    const ProgramRun run = run_program(argv, dir.path());
    EXPECT_EQ(run.out, std::string(c.line) + "\n");
    EXPECT_EQ(run.exit_code, 255);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(files_in(dir.path()).empty());
  }
}

// Stops a LenTest03 program at its first progress number: the seed line and
// "1000," arrive while the trial runs (flushed), before any file exists.
void check_len03_start(const std::string& program, const std::string& bit) {
  SCOPED_TRACE(program);
  TempDir dir;
  const ProgramRun run = run_program({program, bit}, dir.path(), [](const std::string& out) {
    return out.find("1000,") != std::string::npos;
  });
  ASSERT_TRUE(run.stopped) << run.out << run.err;
  const size_t end = run.out.find('\n');
  ASSERT_NE(end, std::string::npos);
  EXPECT_TRUE(std::regex_match(run.out.substr(0, end), seed_line)) << run.out;
  EXPECT_EQ(run.out.substr(end + 1, 5), "1000,");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(files_in(dir.path()).empty());
}

TEST(Len03Programs, SeedLineAndProgressArriveLive) {
  check_len03_start("len03-xor", "0");
  check_len03_start("len03-mt", "7");
  check_len03_start("len03-sfmt", "0");
  check_len03_start("len03-sfsse2", "0");
  if (Rb5uSse4::processor_supported()) check_len03_start("len03-rb5usse4", "3");
}

// A whole trial of 2^33 + 1 draws; checks every line and the three files.
void check_len03_full_trial(const std::string& program, const std::string& tag,
                            const std::string& bit, bool two_word_family) {
  SCOPED_TRACE(program);
  TempDir dir;
  const ProgramRun run = run_program({program, bit}, dir.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> out = split_lines(run.out);
  ASSERT_EQ(out.size(), 34u) << run.out;
  std::smatch m;
  ASSERT_TRUE(std::regex_match(out[0], m, seed_line)) << out[0];
  if (two_word_family) {
    EXPECT_EQ(out[0].substr(20), "       0,        0");
  }
  EXPECT_EQ(out[1], "1000,900,800,700,600,500,400,300,200,100,");
  const double e1 = 1073741824.0;
  const ReadTable table = read_table(out, 2, 30, e1);
  expect_sums(out[32], out_sums, table, e1);
  const std::string seconds = seconds_of(out[33], " ");

  const std::vector<std::string> result = split_lines(read_file(dir.file("LenTest03-" + tag + ".txt")));
  ASSERT_EQ(result.size(), 64u);
  const ReadTable full = check_result_block(result, 0, out, 2, e1, false);
  EXPECT_EQ(result[62].substr(0, 20), "63\t           0.000\t");
  expect_consistent_counts(full, 8589934593.0);
  EXPECT_EQ(read_file(dir.file("LenTest03-" + tag + "-time.txt")), seconds + " sec\n");
  const std::vector<std::string> all = split_lines(read_file(dir.file("LenTest03-" + tag + "-all.txt")));
  ASSERT_EQ(all.size(), 130u);
  check_all_trials(all, 0, {full});
  EXPECT_EQ(files_in(dir.path()).size(), 3u);
}

TEST(Len03Programs, OneFullTrialOfTheTopBit) { check_len03_full_trial("len03-xor", "xor", "31", true); }

TEST(Len03Programs, OneFullTrialOfTheLowestBit) {
  check_len03_full_trial("len03-rb5u", "Rb5u", "0", true);
}

// ---------------------------------------------------------------------------
// LenTestSer

TEST(LenSerPrograms, ArgumentsAreClampedAndEchoed) {
  struct Case {
    std::vector<std::string> args;
    const char* first_line;
    const char* echo_line;
  } cases[] = {
      {{}, "", "lenser-xor\tiLoop= 134217728, jLoop= 16"},
      {{"abc"}, "Loop= 1\t", "lenser-xor\tabc\tiLoop= 134217728, jLoop= 16"},
      {{"100"}, "Loop= 64\t", "lenser-xor\t100\tiLoop= 134217728, jLoop= 16"},
      {{"-5", "0", "extra"}, "Loop= 1\tjLoop= 1\t", "lenser-xor\t-5\t0\textra\tiLoop= 134217728, jLoop= 1"},
      {{"4294967297", "3"}, "Loop= 64\tjLoop= 3\t", "lenser-xor\t4294967297\t3\tiLoop= 134217728, jLoop= 3"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {"lenser-xor"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.echo_line);
    TempDir dir;
    const ProgramRun run = run_program(argv, dir.path(), 2);
    ASSERT_TRUE(run.stopped) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n', run.out.find('\n') + 1) + 1),
              std::string(c.first_line) + "\n" + c.echo_line + "\n");
  }
}

// The printed seed words seed the family as the program's reseed did.
template <class F>
void seed_from_printed(uint32_t (&w)[4]) {
  if constexpr (F::protocol == SeedProtocol::four_words)
    F::seed(w);
  else
    F::seed(w[0], w[1]);
}

// `program 1 1`, `runs` times in one directory: one trial of one pass each.
// Every line is checked, later runs append to all three files, and the first
// trial's result block is reproduced from its printed seed words.
template <class F>
void check_lenser_one_pass(const std::string& program, const std::string& tag, int runs) {
  SCOPED_TRACE(program);
  TempDir dir;
  std::vector<ReadTable> tables;
  std::vector<std::string> out_blocks, seconds;
  for (int run_number = 0; run_number < runs; ++run_number) {
    const ProgramRun run = run_program({program, "1", "1"}, dir.path());
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> out = split_lines(run.out);
    ASSERT_EQ(out.size(), 35u) << run.out;
    EXPECT_EQ(out[0], "Loop= 1\tjLoop= 1\t");
    EXPECT_EQ(out[1], program + "\t1\t1\tiLoop= 134217728, jLoop= 1");
    ASSERT_TRUE(std::regex_match(out[2], seed_line)) << out[2];
    if (F::protocol != SeedProtocol::four_words) {
      EXPECT_EQ(out[2].substr(20), "       0,        0");
    }
    const ReadTable table = read_table(out, 3, 30, 536870912.0);
    expect_sums(out[33], out_sums, table, 536870912.0);
    seconds.push_back(seconds_of(out[34], " "));
    out_blocks.push_back(run.out);

    // Reproduce the first run's trial from its seed line: the whole result block.
    if (run_number == 1) continue;
    uint32_t words[4];
    for (int i = 0; i < 4; ++i) words[i] = std::stoul(out[2].substr(i * 10, 8), nullptr, 16);
    seed_from_printed<F>(words);
    RunTables counted = {};
    const int64_t open = lenser_count<F>(counted, 1);
    TrialText text;
    format_trial<LenTestSer>(text, counted, ExpectedRuns(536870912.0), open, 0.0);
    const std::string result = read_file(dir.file("LenTestSer-" + tag + ".txt"));
    const std::string block(text.result.data(), text.result.size());
    ASSERT_GE(result.size(), block.size());
    EXPECT_EQ(result.substr(result.size() - block.size()), block);
  }
  const std::vector<std::string> result = split_lines(read_file(dir.file("LenTestSer-" + tag + ".txt")));
  ASSERT_EQ(result.size(), runs * 65u);
  std::string time_file;
  for (int r = 0; r < runs; ++r) {
    const std::vector<std::string> out = split_lines(out_blocks[r]);
    tables.push_back(check_result_block(result, r * 65, out, 3, 536870912.0, true));
    expect_consistent_counts(tables.back(), 32.0 * 134217728 + 1);
    time_file += seconds[r] + "\tsec\n";
  }
  EXPECT_EQ(read_file(dir.file("LenTestSer-" + tag + "-time.txt")), time_file);
  const std::vector<std::string> all = split_lines(read_file(dir.file("LenTestSer-" + tag + "-all.txt")));
  ASSERT_EQ(all.size(), runs * 130u);
  size_t at = 0;
  for (int r = 0; r < runs; ++r) at = check_all_trials(all, at, {tables[r]});
  EXPECT_EQ(files_in(dir.path()).size(), 3u);
}

TEST(LenSerPrograms, OneTrialOfOnePassTwiceAppends) {
  check_lenser_one_pass<Xor128Fold>("lenser-xor", "xor", 2);
}

// The SFMT programs are run in run_length_sfmt_e2e_test.cpp.
TEST(LenSerPrograms, OneTrialOfOnePassOtherFamilies) {
  check_lenser_one_pass<Mt>("lenser-mt", "mt", 1);
  if (Rb5uSse4::processor_supported())
    check_lenser_one_pass<Rb5uSse4>("lenser-rb5usse4", "Rb5uSSE4", 1);
}

}  // namespace
