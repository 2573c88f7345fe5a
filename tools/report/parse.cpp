#include "tools/report/parse.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>

#include "tools/report/stats.h"

namespace rngreport {

namespace {

struct Line {
  int number;
  std::string text;  // without the line end
  bool ended;        // a newline followed it
};

std::vector<Line> split(const std::string& text) {
  std::vector<Line> lines;
  size_t start = 0;
  int number = 1;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    const bool ended = end != std::string::npos;
    if (!ended) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back({number++, std::move(line), ended});
    start = end + 1;
  }
  return lines;
}

bool blank(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// True when the scan consumed the whole line (up to trailing blanks).
bool consumed_all(const std::string& line, int consumed) {
  return consumed >= 0 && blank(line.substr(static_cast<size_t>(consumed)));
}

std::string base_name(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool starts_with(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}
bool ends_with(const std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// "ChiTest7-xor.txt" with prefix "ChiTest7-" gives "xor".
std::string middle(const std::string& name, size_t prefix_length) {
  const size_t dot = name.rfind('.');
  const size_t end = dot == std::string::npos || dot < prefix_length ? name.size() : dot;
  return name.substr(prefix_length, end - prefix_length);
}

// The tag of a saved standard output: "lag-xor.log" gives "xor".
std::string tag_from_program_name(const std::string& name) {
  std::string stem = middle(name, 0);
  const size_t dash = stem.find('-');
  return dash == std::string::npos ? stem : stem.substr(dash + 1);
}

// References by E(1), built once per process: a build takes a fraction of a
// second at reduced sizes, and the files of one run share their size.
std::shared_ptr<const Reference> run_length_reference(double expected_1) {
  static std::map<double, std::shared_ptr<const Reference>> built;
  auto& reference = built[expected_1];
  if (!reference) reference = std::make_shared<RunLengthReference>(expected_1);
  return reference;
}

uint64_t trial_key(const Line& line) {
  return hash_text(line.text.c_str(), 0x51ed270b27a1f3c5ull * static_cast<uint64_t>(line.number));
}

class Reader {
 public:
  Reader(const std::string& path, Report& out) : path_(path), out_(out) {}

  void diagnose(int line, const std::string& message) {
    out_.diagnostics.push_back({path_, line, message});
  }
  void bad_line(const Line& line) {
    diagnose(line.number, line.ended ? "line not understood, ignored"
                                     : "truncated last line, ignored");
  }
  ResultSet& new_set(const std::string& kind, const std::string& tag) {
    ResultSet set;
    set.file = path_;
    set.name = base_name(path_);
    set.kind = kind;
    set.tag = tag;
    out_.sets.push_back(std::move(set));
    return out_.sets.back();
  }

  void chi_square(const std::vector<Line>& lines, const std::string& kind,
                  const std::string& tag) {
    ResultSet& set = new_set(kind, tag);
    set.reference = chi_square_reference(255, "chi-square, 255 dof");
    for (const Line& line : lines) {
      if (blank(line.text)) continue;
      int k = 0, consumed = -1;
      double chi = 0, seconds = 0;
      unsigned s[4];
      const int fields = std::sscanf(line.text.c_str(), " k= %d ChiSq= %lf %x,%x,%x,%x %lf sec%n",
                                     &k, &chi, &s[0], &s[1], &s[2], &s[3], &seconds, &consumed);
      if (fields != 7 || !consumed_all(line.text, consumed) || !(chi >= 0) || std::isinf(chi)) {
        bad_line(line);
        continue;
      }
      set.trials.push_back({chi, set.reference->sf(chi), line.number});
    }
  }

  void lag(const std::vector<Line>& lines, const std::string& tag) {
    ResultSet& set = new_set("Lag", tag);
    set.reference = lag_trial_reference();
    bool first = true;
    for (const Line& line : lines) {
      if (blank(line.text)) continue;
      const bool was_first = first;
      first = false;
      int batches = 0, n_ok = 0, consumed = -1;
      double r[LAG_BANDS], seconds = 0, deviation = 0;
      char verdict[3] = {};
      const int fields = std::sscanf(
          line.text.c_str(), "Loop=\t%d\t%lf\t%lf\t%lf\t%lf\t%lf\ttime=\t%lf\tsec\t%2[OKNG] %d\t%lf%n",
          &batches, &r[0], &r[1], &r[2], &r[3], &r[4], &seconds, verdict, &n_ok, &deviation,
          &consumed);
      if (fields != 10 || !consumed_all(line.text, consumed) || batches < 1) {
        // The standard-error line "<program>\t<trials>" when both streams were saved.
        char name[256];
        int trials = 0;
        consumed = -1;
        if (was_first &&
            std::sscanf(line.text.c_str(), "%255[^\t]\t%d%n", name, &trials, &consumed) == 2 &&
            consumed_all(line.text, consumed))
          continue;
        bad_line(line);
        continue;
      }
      int counts[LAG_BANDS];
      bool whole = true;
      for (int i = 0; i < LAG_BANDS; ++i) {
        const double c = r[i] * batches / LAG_MULTIPLIER[i];
        counts[i] = static_cast<int>(std::lround(c));
        whole = whole && std::fabs(c - counts[i]) < 0.01 && counts[i] >= 0 &&
                counts[i] <= (i == 0 ? batches : counts[i - 1]);
      }
      if (!whole) {
        diagnose(line.number, "tail ratios are not nested counts out of the batches, ignored");
        continue;
      }
      const TrialValue v = lag_trial(counts, batches, trial_key(line));
      set.trials.push_back({v.statistic, v.p, line.number});
    }
  }

  struct PairLine {
    Line line;
    int64_t counts[4];  // 0-0, 0-1, 1-1, 1-0
    double chi;
  };

  void bit_transition(const std::vector<Line>& lines) {
    std::vector<PairLine> run;
    int run_start = 0, runs = 0;
    auto finish = [&] {
      if (!run.empty() || run_start > 0) pair_run(run, run_start, ++runs);
      run.clear();
    };
    for (const Line& line : lines) {
      if (blank(line.text)) continue;
      if (line.text == "-----------------------") {
        finish();
        run_start = line.number;
        continue;
      }
      PairLine p{line, {}, 0};
      double ave = 0, seconds = 0;
      long long c[4] = {-1, -1, -1, -1};
      int consumed = -1;
      const int fields = std::sscanf(
          line.text.c_str(),
          "Ave=   %lf\t0-0=\t%lld\t0-1=\t%lld\t1-1=\t%lld\t1-0\t%lld\t %lf  sec\tChiSQ= %lf%n", &ave,
          &c[0], &c[1], &c[2], &c[3], &seconds, &p.chi, &consumed);
      const bool counts_ok = c[0] >= 0 && c[1] >= 0 && c[2] >= 0 && c[3] >= 0;
      if (fields != 7 || !consumed_all(line.text, consumed) || !counts_ok) {
        bad_line(line);
        continue;
      }
      for (int i = 0; i < 4; ++i) p.counts[i] = c[i];
      if (std::fabs(ave - (c[0] + c[1] + c[2] + c[3]) * 0.25) > 0.0051) {
        diagnose(line.number, "Ave does not match the four counts, ignored");
        continue;
      }
      if (run_start == 0 && run.empty()) run_start = line.number;
      run.push_back(p);
    }
    finish();
  }

  // ChiSQ = sum (count - Ideal)^2 / Ideal with Ideal = T(ratio) n / 2: the
  // file does not give ratio and Loop, so they are found as the pair that
  // reproduces the printed ChiSQ of the run's lines.
  void pair_run(const std::vector<PairLine>& run, int start, int number) {
    if (run.empty()) return;
    constexpr double PASS = 16777216.0;
    auto predicted = [](const PairLine& p, double ideal) {
      double s = 0;
      for (int64_t c : p.counts) s += (c - ideal) * (c - ideal) / ideal;
      return s;
    };
    auto matches = [&](const PairLine& p, double ideal) {
      const double x = predicted(p, ideal);
      return std::fabs(x - p.chi) <= 0.0051 + 1e-9 * std::fabs(x);
    };
    int best_ratio = 0, best_count = -1;
    double best_loop = 0;
    for (int ratio = 51; ratio <= 99; ++ratio) {
      const double ideal_1 = pair_tail_probability(ratio) * 0.5 * PASS;
      std::vector<double> loops;
      for (size_t i = 0; i < run.size() && i < 5; ++i) {
        // 4 I^2 - (2 S + X) I + Q = 0 for the line's sum S and sum of squares Q.
        double s = 0, q = 0;
        for (int64_t c : run[i].counts) {
          s += c;
          q += static_cast<double>(c) * c;
        }
        const double b = 2 * s + run[i].chi;
        const double disc = std::max(0.0, b * b - 16 * q);
        for (double root : {(b + std::sqrt(disc)) / 8, (b - std::sqrt(disc)) / 8}) {
          const double loop = std::round(root / ideal_1);
          for (double l : {loop - 1, loop, loop + 1})
            if (l >= 1 && l <= 1e9) loops.push_back(l);
        }
      }
      std::sort(loops.begin(), loops.end());
      loops.erase(std::unique(loops.begin(), loops.end()), loops.end());
      for (double loop : loops) {
        int count = 0;
        for (const PairLine& p : run) count += matches(p, ideal_1 * loop);
        if (count > best_count) {
          best_count = count;
          best_ratio = ratio;
          best_loop = loop;
        }
      }
    }
    char name[64];
    std::snprintf(name, sizeof name, "%s#%d", base_name(path_).c_str(), number);
    if (best_count * 2 < static_cast<int>(run.size()) || best_count <= 0) {
      diagnose(start, "cannot find the ratio and Loop of this run from its lines, run ignored");
      return;
    }
    ResultSet& set = new_set("BitTransition", "?");
    set.name = name;
    set.reference = pair_trial_reference();
    char note[96];
    std::snprintf(note, sizeof note, "from line %d: ratio %d, Loop %.0f (inferred)", start,
                  best_ratio, best_loop);
    set.note = note;
    const double ideal = pair_tail_probability(best_ratio) * 0.5 * PASS * best_loop;
    for (const PairLine& p : run) {
      if (!matches(p, ideal)) {
        diagnose(p.line.number, "ChiSQ does not match the counts for this run's parameters, ignored");
        continue;
      }
      const TrialValue v = pair_trial(p.counts, PASS * best_loop, best_ratio, trial_key(p.line));
      set.trials.push_back({v.statistic, v.p, p.line.number});
    }
  }

  void run_length(const std::vector<Line>& lines, const std::string& kind,
                  const std::string& tag) {
    ResultSet& set = new_set(kind, tag);
    constexpr int ROWS = 63;
    int row = 0;  // rows of the current block read so far
    int block_start = 0;
    double expected_1 = 0, zeros[31] = {}, ones[31] = {};
    bool after_rows = false;
    for (const Line& line : lines) {
      if (blank(line.text)) continue;
      const char* text = line.text.c_str();
      int length = 0, consumed = -1;
      double e = 0, c0 = 0, c1 = 0;
      if (std::sscanf(text, "%d\t%lf\t%lf\t%lf%n", &length, &e, &c0, &c1, &consumed) == 4 &&
          consumed_all(line.text, consumed) && line.ended) {
        if (length == 1) {
          if (row > 0) diagnose(block_start, "incomplete trial, ignored");
          row = 0;
          block_start = line.number;
          expected_1 = e;
          after_rows = false;
        }
        if (length != row + 1 || row >= ROWS || after_rows) {
          bad_line(line);
          row = 0;
          continue;
        }
        if (length <= 30) {
          zeros[length] = c0;
          ones[length] = c1;
        }
        if (++row == ROWS) after_rows = true;
        continue;
      }
      int l_count = 0;
      consumed = -1;
      if (after_rows && std::sscanf(text, "lCount= %d%n", &l_count, &consumed) == 1 &&
          consumed_all(line.text, consumed))
        continue;
      double k0 = 0, k1 = 0, sum = 0;
      consumed = -1;
      if (after_rows &&
          std::sscanf(text, "KaiSq(1to30)= 0:%lf, 1:%lf, Sum:%lf%n", &k0, &k1, &sum, &consumed) ==
              3 &&
          consumed_all(line.text, consumed) && expected_1 > 0) {
        after_rows = false;
        row = 0;
        double recomputed = 0, el = expected_1;
        for (int l = 1; l <= 30; ++l, el *= 0.5)
          recomputed += (zeros[l] - el) * (zeros[l] - el) / el + (ones[l] - el) * (ones[l] - el) / el;
        if (std::fabs(recomputed - sum) > 0.0015 + 1e-9 * recomputed) {
          diagnose(line.number, "KaiSq sum does not match the counts above it, trial ignored");
          continue;
        }
        const auto reference = run_length_reference(expected_1);
        if (!set.reference) set.reference = reference;
        set.trials.push_back({sum, reference->sf(sum), line.number});
        continue;
      }
      if (row > 0) diagnose(block_start, "incomplete trial, ignored");
      row = 0;
      after_rows = false;
      bad_line(line);
    }
    if (row > 0) diagnose(block_start, "incomplete trial at the end of the file, ignored");
    if (!set.reference) set.reference = run_length_reference(1073741824.0);
  }

 private:
  std::string path_;
  Report& out_;
};

}  // namespace

FileKind recognise(const std::string& path, const std::string& text) {
  const std::string name = base_name(path);
  for (const char* prefix : {"ChiTest6-", "ChiTest7-", "ChiTest8-"})
    if (starts_with(name, prefix) && ends_with(name, ".txt")) return FileKind::chi_square;
  for (const char* prefix : {"LenTest03-", "LenTestSer-"}) {
    if (starts_with(name, prefix) && ends_with(name, ".txt")) {
      if (ends_with(name, "-time.txt") || ends_with(name, "-all.txt")) return FileKind::companion;
      return prefix[7] == '0' ? FileKind::len03 : FileKind::len_serial;
    }
  }
  if (name == "outData.txt") return FileKind::bit_transition;
  // A saved standard output: recognised by its first result line.
  for (const Line& line : split(text)) {
    if (blank(line.text)) continue;
    const std::string& t = line.text;
    if (starts_with(t, " k=") || starts_with(t, "k=")) return FileKind::chi_square;
    if (starts_with(t, "Loop=\t")) return FileKind::lag;
    if (t == "-----------------------" || starts_with(t, "Ave=")) return FileKind::bit_transition;
    // "<program>\t<trials>" from standard error, then the lag lines.
    if (t.find('\t') != std::string::npos && text.find("\nLoop=\t") != std::string::npos)
      return FileKind::lag;
    return FileKind::unknown;
  }
  return FileKind::unknown;
}

void read_result_text(const std::string& path, const std::string& text, bool named, Report& out) {
  Reader reader(path, out);
  const std::string name = base_name(path);
  const std::vector<Line> lines = split(text);
  switch (recognise(path, text)) {
    case FileKind::chi_square: {
      std::string kind = "ChiTest?", tag = tag_from_program_name(name);
      if (starts_with(name, "ChiTest")) {
        kind = name.substr(0, 8);
        tag = middle(name, 9);
      } else {
        for (const char* program : {"chi6", "chi7", "chi8"})
          if (starts_with(name, program)) kind = std::string("ChiTest") + program[3];
      }
      reader.chi_square(lines, kind, tag);
      break;
    }
    case FileKind::len03:
      reader.run_length(lines, "LenTest03", middle(name, 10));
      break;
    case FileKind::len_serial:
      reader.run_length(lines, "LenTestSer", middle(name, 11));
      break;
    case FileKind::bit_transition:
      reader.bit_transition(lines);
      break;
    case FileKind::lag:
      reader.lag(lines, tag_from_program_name(name));
      break;
    case FileKind::companion:
      if (named) reader.diagnose(0, "holds no per-trial results (a -time or -all file), skipped");
      break;
    case FileKind::unknown:
      if (named) reader.diagnose(0, "not a result file of the suite, skipped");
      break;
  }
}

namespace {

bool read_whole_file(const std::string& path, std::string& text, Report& out) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    out.diagnostics.push_back({path, 0, std::string("cannot read: ") + std::strerror(errno)});
    return false;
  }
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool failed = std::ferror(f);
  const int error = errno;
  std::fclose(f);
  if (failed) {
    out.diagnostics.push_back({path, 0, std::string("cannot read: ") + std::strerror(error)});
    return false;
  }
  return true;
}

}  // namespace

void read_path(const std::string& path, Report& out) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
      std::error_code entry_ec;
      if (entry.is_regular_file(entry_ec)) files.push_back(entry.path().string());
    }
    if (ec) {
      out.diagnostics.push_back({path, 0, "cannot list the directory: " + ec.message()});
      return;
    }
    std::sort(files.begin(), files.end());
    for (const std::string& file : files) {
      std::string text;
      if (read_whole_file(file, text, out)) read_result_text(file, text, false, out);
    }
    return;
  }
  std::string text;
  if (read_whole_file(path, text, out)) read_result_text(path, text, true, out);
}

}  // namespace rngreport
