// The report's distribution functions against known values, the reading of
// every file kind from small fixtures in the programs' formats, the second
// level and the verdict, and the three output forms.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/report/parse.h"
#include "tools/report/reference.h"
#include "tools/report/render.h"
#include "tools/report/stats.h"
#include "tools/report/summary.h"

namespace {

using namespace rngreport;

// ---- Distribution functions -------------------------------------------------

TEST(ReportStats, ChiSquareSurvivalFor255DegreesOfFreedom) {
  // Reference values to 30 digits from an arbitrary-precision evaluation.
  const struct {
    double x, p;
  } cases[] = {{200, 0.995425444541951895}, {255, 0.488222521770406343},
               {300, 0.0277275220539048299}, {330, 0.00106732011961216222},
               {400, 1.66000252441245177e-8}};
  for (const auto& c : cases) EXPECT_NEAR(chi2_sf(c.x, 255) / c.p, 1.0, 1e-10) << c.x;
  EXPECT_NEAR(gamma_q(4, 3), 0.647231888782231259, 1e-14);
  EXPECT_NEAR(gamma_p(4, 3) + gamma_q(4, 3), 1.0, 1e-15);
  EXPECT_EQ(chi2_sf(0, 255), 1.0);
  EXPECT_EQ(chi2_sf(65280000000.0, 255), 0.0);  // a constant generator's statistic
}

TEST(ReportStats, LagThresholdsAreTheChiSquareQuantilesTheProgramsState) {
  for (int i = 0; i < LAG_BANDS; ++i)
    EXPECT_NEAR(chi2_sf(LAG_THRESHOLD[i], 16383), LAG_NOMINAL[i], 1e-9) << i;
}

TEST(ReportStats, BinomialTails) {
  EXPECT_NEAR(binom_sf(154, 1024, 0.15), 0.499414155881263073, 1e-12);
  EXPECT_NEAR(binom_sf(180, 1024, 0.15), 0.0129497610708284891, 1e-13);
  EXPECT_NEAR(binom_cdf(129, 1024, 0.15), 0.0158779081918150850, 1e-13);
  EXPECT_NEAR(binom_cdf(2, 10, 0.5), 56.0 / 1024, 1e-15);
  EXPECT_NEAR(binom_pmf(5, 10, 0.5), 252.0 / 1024, 1e-15);
  // Edges: empty trials and certain outcomes.
  EXPECT_EQ(binom_cdf(0, 0, 0.3), 1.0);
  EXPECT_EQ(binom_randomized_cdf(0, 0, 0.3, 0.25), 0.25);
  // A large count: Binomial(16777216, 0.92) at its mean is near one half.
  EXPECT_NEAR(binom_cdf(15435039, 16777216, 0.92), 0.5, 0.01);
}

TEST(ReportStats, KolmogorovDistributionAndKsTest) {
  EXPECT_NEAR(kolmogorov_sf(1.36), 0.0494858767553778836, 1e-12);
  EXPECT_NEAR(kolmogorov_sf(0.6), 0.864282779050604334, 1e-12);
  std::vector<double> even;
  for (int i = 0; i < 1000; ++i) even.push_back((i + 0.5) / 1000);
  EXPECT_GT(ks_uniform(even).p, 0.999);
  std::vector<double> low(100, 0.001);
  EXPECT_LT(ks_uniform(low).p, 1e-40);
}

TEST(ReportStats, PairTailProbabilities) {
  EXPECT_NEAR(pair_tail_probability(51) / 0.4602053813064106, 1, 1e-14);
  EXPECT_NEAR(pair_tail_probability(75) / 2.818141017102702e-07, 1, 1e-14);
  EXPECT_NEAR(pair_tail_probability(99) / 7.967495142732219e-29, 1, 1e-14);
  EXPECT_NEAR(pair_tail_probability(100) / 7.888609052210118e-31, 1, 1e-14);
}

TEST(ReportStats, LagBandProbabilitiesAllowForOverlappingPairs) {
  // A + 2B has the mean of chi-square(16383) but a larger spread, so every
  // band holds a little more than its nominal share.
  const double* band = lag_band_probabilities();
  for (int i = 0; i < LAG_BANDS; ++i) {
    EXPECT_GT(band[i], LAG_NOMINAL[i]) << i;
    EXPECT_LT(band[i], LAG_NOMINAL[i] * 1.04) << i;
  }
  // Far below and far above the mean.
  EXPECT_NEAR(lag_batch_sf(10000), 1.0, 1e-12);
  EXPECT_LT(lag_batch_sf(20000), 1e-12);
}

TEST(ReportStats, RunLengthReferenceMomentsAndInversion) {
  // Each bit value loses 3/4 of one degree of freedom to the shared total:
  // the mean is 60 - 1.5 whatever the size (the Poisson counts leave out a
  // correction of (2L - 1) 2^-(L+2) each), and the bulk of the weights is 1.
  for (double expected_1 : {1073741824.0, 200 * 536870912.0, 131072.0}) {
    const RunLengthReference r(expected_1);
    EXPECT_NEAR(r.mean(), 58.5, 0.02) << expected_1;
    int unit = 0;
    for (double w : r.gaussian_weights()) unit += std::fabs(w - 1) < 1e-9;
    EXPECT_GE(unit, static_cast<int>(r.gaussian_weights().size()) - 4);
    if (expected_1 != 1073741824.0) continue;
    // The two inversions agree: sf(a) - sf(b) is the integral of the density.
    const double a = r.mean() - r.sd(), b = r.mean() + r.sd();
    double integral = 0;
    for (int i = 0; i < 400; ++i) integral += r.pdf(a + (i + 0.5) * (b - a) / 400) * (b - a) / 400;
    EXPECT_NEAR(r.sf(a) - r.sf(b), integral, 1e-4) << expected_1;
    EXPECT_GT(r.sf(a), r.sf(b));
  }
  const RunLengthReference one_color(1073741824.0, 1);
  EXPECT_NEAR(one_color.mean(), 29.25, 1e-4);
}

TEST(ReportStats, RandomizedDiscretePValuesAreUniform) {
  // Over the whole distribution of Binomial(7, 0.3), P(v <= t) = t exactly.
  for (double t : {0.1, 0.37, 0.9}) {
    double mass = 0;
    for (int k = 0; k <= 7; ++k) {
      const double below = binom_cdf(k - 1, 7, 0.3), pmf = binom_pmf(k, 7, 0.3);
      mass += pmf * std::clamp((t - below) / pmf, 0.0, 1.0);
    }
    EXPECT_NEAR(mass, t, 1e-12);
  }
}

// ---- Fixtures in the programs' formats --------------------------------------

std::string chi_line(int k, double chi) {
  char line[160];
  std::snprintf(line, sizeof line, " k= %5d ChiSq= %f\t\t%x,%x,%x,%x\t %.3f sec\n", k, chi,
                0x1234abcdu + k, 0x5eed, 0, 0, 10.5 * (k + 1));
  return line;
}

// One trial of a run-length result file: 63 rows, the lCount line of the
// serial test, and the sums, from counts that follow E(L) with an offset.
std::string run_length_block(double expected_1, bool serial, int offset, double* sum_out = nullptr) {
  std::string text;
  char line[200];
  double sums[2] = {0, 0};
  double factor = 0.125, e = 0;
  for (int length = 1; length <= 63; ++length) {
    e = 8 * expected_1 * factor;
    factor *= 0.5;
    const double c0 = std::max(0.0, std::floor(e) + (length % 3 == 0 ? offset : 0));
    const double c1 = std::max(0.0, std::floor(e) + (length % 4 == 1 ? -offset : 0));
    if (length <= 30) {
      sums[0] += (c0 - e) * (c0 - e) / e;
      sums[1] += (c1 - e) * (c1 - e) / e;
    }
    std::snprintf(line, sizeof line, "%d\t%16.3f\t%16.0f\t%16.0f\n", length, e, c0, c1);
    text += line;
  }
  if (serial) text += "lCount= 3\n";
  std::snprintf(line, sizeof line, "KaiSq(1to30)= 0:%.3f, 1:%.3f, Sum:%.3f\n", sums[0], sums[1],
                sums[0] + sums[1]);
  text += line;
  if (sum_out) *sum_out = std::stod(std::string(line).substr(std::string(line).find("Sum:") + 4));
  return text;
}

std::string pair_line(const int64_t (&c)[4], double ideal) {
  double chi = 0;
  for (int64_t v : c) chi += (v - ideal) * (v - ideal) / ideal;
  char line[200];
  std::snprintf(line, sizeof line, "Ave=   %.2f\t", (c[0] + c[1] + c[2] + c[3]) * 0.25);
  std::string text = line;
  std::snprintf(line, sizeof line, "0-0=\t%d\t0-1=\t%d\t1-1=\t%d\t1-0\t%d\t", int(c[0]), int(c[1]),
                int(c[2]), int(c[3]));
  text += line;
  std::snprintf(line, sizeof line, " %.3f  sec\tChiSQ= %.2f\n", 2.5, chi);
  return text + line;
}

std::string lag_line(const int (&counts)[5]) {
  char line[200];
  double r[5];
  for (int i = 0; i < 5; ++i) r[i] = counts[i] * (1.0 / 1024) * LAG_MULTIPLIER[i];
  std::snprintf(line, sizeof line, "Loop=\t%7d\t%f\t%f\t%f\t%f\t%f\t", 1024, r[0], r[1], r[2], r[3],
                r[4]);
  std::string text = line;
  std::snprintf(line, sizeof line, "time=\t%9.3f\tsec\t", 123.456);
  text += line;
  text += "OK 5\t0.000873\n";
  return text;
}

std::vector<std::string> messages(const Report& r) {
  std::vector<std::string> out;
  for (const Diagnostic& d : r.diagnostics)
    out.push_back(d.file + ":" + std::to_string(d.line) + ": " + d.message);
  return out;
}

TEST(ReportParse, ChiSquareFileWithBlankAndTruncatedLines) {
  const std::string text = chi_line(0, 255.0) + chi_line(1, 301.5) + "\n" + chi_line(2, 180.25) +
                           " k=     3 ChiSq= 254.1";
  Report r;
  read_result_text("dir/ChiTest7-Rb5uSSE4.txt", text, true, r);
  ASSERT_EQ(r.sets.size(), 1u);
  const ResultSet& s = r.sets[0];
  EXPECT_EQ(s.kind, "ChiTest7");
  EXPECT_EQ(s.tag, "Rb5uSSE4");
  EXPECT_EQ(s.name, "ChiTest7-Rb5uSSE4.txt");
  ASSERT_EQ(s.trials.size(), 3u);
  EXPECT_EQ(s.trials[2].line, 4);
  EXPECT_DOUBLE_EQ(s.trials[0].p, chi2_sf(255.0, 255));
  EXPECT_DOUBLE_EQ(s.trials[1].statistic, 301.5);
  ASSERT_EQ(messages(r), std::vector<std::string>{
                             "dir/ChiTest7-Rb5uSSE4.txt:5: truncated last line, ignored"});
}

TEST(ReportParse, RecognisesSavedOutputsAndForeignFilesByContent) {
  const struct {
    const char* path;
    std::string text;
    FileKind kind;
  } cases[] = {
      {"chi8-mt.log", chi_line(0, 250), FileKind::chi_square},
      {"lag-rb3w.log", "lag-rb3w\t2\n" + lag_line({154, 128, 102, 77, 51}), FileKind::lag},
      {"saved.txt", lag_line({154, 128, 102, 77, 51}), FileKind::lag},
      {"outData.txt", "", FileKind::bit_transition},
      {"LenTest03-xor-time.txt", "12.000 sec\n", FileKind::companion},
      {"LenTestSer-mt-all.txt", "1\t\n", FileKind::companion},
      {"LenTestSer-mt.txt", "", FileKind::len_serial},
      {"notes.txt", "Loop= a shopping list\nmilk\n", FileKind::unknown},
      {"empty.txt", "", FileKind::unknown},
  };
  for (const auto& c : cases) EXPECT_EQ(recognise(c.path, c.text), c.kind) << c.path;

  Report r;
  read_result_text("x/chi8-mt.log", chi_line(0, 250) + chi_line(1, 260), true, r);
  read_result_text("x/notes.txt", "milk\n", true, r);   // named: reported
  read_result_text("x/other.txt", "milk\n", false, r);  // found in a directory: quiet
  read_result_text("x/LenTest03-xor-time.txt", "1.0 sec\n", false, r);
  ASSERT_EQ(r.sets.size(), 1u);
  EXPECT_EQ(r.sets[0].kind, "ChiTest8");
  EXPECT_EQ(r.sets[0].tag, "mt");
  EXPECT_EQ(r.sets[0].trials.size(), 2u);
  EXPECT_EQ(messages(r),
            std::vector<std::string>{"x/notes.txt:0: not a result file of the suite, skipped"});
}

TEST(ReportParse, LagOutputGivesTheTailCountsBack) {
  const int counts[5] = {154, 128, 102, 77, 51};
  const int odd[5] = {300, 250, 200, 150, 100};
  const std::string text = "lag-xor\t3\n" + lag_line(counts) + lag_line(odd) +
                           "Loop=\t   1024\t1.5\tgarbage\n" +
                           "Loop=\t   1024\t0.900000\t1.000000\t1.000000\t1.000000\t1.000000\ttime=\t"
                           "    1.000\tsec\tOK 4\t0.01\n";
  Report r;
  read_result_text("lag-xor.log", text, true, r);
  ASSERT_EQ(r.sets.size(), 1u);
  const ResultSet& s = r.sets[0];
  EXPECT_EQ(s.kind, "Lag");
  EXPECT_EQ(s.tag, "xor");
  ASSERT_EQ(s.trials.size(), 2u);
  // The same statistic as from the counts themselves (same line, same key).
  Report again;
  read_result_text("lag-xor.log", "lag-xor\t3\n" + lag_line(counts), true, again);
  EXPECT_DOUBLE_EQ(again.sets[0].trials[0].statistic, s.trials[0].statistic);
  EXPECT_GT(s.trials[0].p, 0.01);
  EXPECT_LT(s.trials[1].p, 1e-6);  // twice the expected tail counts
  // 0.9 * 1024 / 6.67 is not a whole count; "garbage" is not a number.
  EXPECT_EQ(messages(r), (std::vector<std::string>{
                             "lag-xor.log:4: line not understood, ignored",
                             "lag-xor.log:5: tail ratios are not nested counts out of the "
                             "batches, ignored"}));
}

TEST(ReportParse, OutDataRunsAreSplitAndTheirParametersInferred) {
  const double ideal_60_2 = pair_tail_probability(60) * 0.5 * 16777216.0 * 2;
  const double ideal_75_1 = pair_tail_probability(75) * 0.5 * 16777216.0;
  std::string text = "-----------------------\n";
  const int64_t a[4] = {477000, 476500, 477300, 476900};
  const int64_t b[4] = {476200, 477100, 476800, 477000};
  text += pair_line(a, ideal_60_2) + pair_line(b, ideal_60_2);
  text += "Ave=   2.00\t0-0=\t2\t0-1=\n";  // cut short
  text += "-----------------------\n";
  const int64_t c[4] = {2, 3, 1, 2}, d[4] = {4, 0, 2, 3}, e[4] = {1, 2, 2, 2};
  text += pair_line(c, ideal_75_1) + pair_line(d, ideal_75_1) + pair_line(e, ideal_75_1);
  Report r;
  read_result_text("results/outData.txt", text, true, r);
  ASSERT_EQ(r.sets.size(), 2u);
  EXPECT_EQ(r.sets[0].name, "outData.txt#1");
  EXPECT_EQ(r.sets[0].kind, "BitTransition");
  EXPECT_EQ(r.sets[0].trials.size(), 2u);
  EXPECT_NE(r.sets[0].note.find("ratio 60, Loop 2"), std::string::npos) << r.sets[0].note;
  EXPECT_EQ(r.sets[1].name, "outData.txt#2");
  EXPECT_EQ(r.sets[1].trials.size(), 3u);
  EXPECT_NE(r.sets[1].note.find("ratio 75, Loop 1"), std::string::npos) << r.sets[1].note;
  EXPECT_EQ(r.sets[1].trials[0].line, 6);
  EXPECT_EQ(messages(r), std::vector<std::string>{
                             "results/outData.txt:4: line not understood, ignored"});
}

TEST(ReportParse, RunLengthFilesBlockByBlock) {
  const double full = 1073741824.0;
  double sum = 0;
  // LenTest03: a complete trial, then one cut off in its table.
  std::string block = run_length_block(full, false, 5000, &sum);
  std::string text = block + block.substr(0, block.find("\n20\t") + 8);
  Report r;
  read_result_text("LenTest03-sfSSE2.txt", text, true, r);
  ASSERT_EQ(r.sets.size(), 1u);
  EXPECT_EQ(r.sets[0].kind, "LenTest03");
  EXPECT_EQ(r.sets[0].tag, "sfSSE2");
  ASSERT_EQ(r.sets[0].trials.size(), 1u);
  EXPECT_EQ(r.sets[0].trials[0].line, 64);
  EXPECT_DOUBLE_EQ(r.sets[0].trials[0].statistic, sum);
  EXPECT_DOUBLE_EQ(r.sets[0].trials[0].p, RunLengthReference(full).sf(sum));
  EXPECT_EQ(messages(r), (std::vector<std::string>{
                             "LenTest03-sfSSE2.txt:65: incomplete trial, ignored",
                             "LenTest03-sfSSE2.txt:84: truncated last line, ignored"}));

  // LenTestSer with its lCount lines, two sizes (jLoop 16 and 1) in one file,
  // and a sums line that does not match its table.
  std::string tampered = run_length_block(full, true, 300);
  tampered.replace(tampered.find("Sum:"), 4, "Sum:1");
  Report ser;
  read_result_text("LenTestSer-Rb5uSSE4.txt",
                   run_length_block(full, true, 0) + run_length_block(full / 16, true, 100) +
                       tampered,
                   true, ser);
  ASSERT_EQ(ser.sets.size(), 1u);
  EXPECT_EQ(ser.sets[0].kind, "LenTestSer");
  EXPECT_EQ(ser.sets[0].tag, "Rb5uSSE4");
  ASSERT_EQ(ser.sets[0].trials.size(), 2u);
  EXPECT_EQ(messages(ser), std::vector<std::string>{"LenTestSer-Rb5uSSE4.txt:195: KaiSq sum does "
                                                    "not match the counts above it, trial ignored"});
}

TEST(ReportParse, UnreadableFilesAndDirectories) {
  Report r;
  read_path("/nonexistent/ChiTest7-xor.txt", r);
  ASSERT_EQ(r.diagnostics.size(), 1u);
  EXPECT_EQ(r.diagnostics[0].message, "cannot read: No such file or directory");
  EXPECT_TRUE(r.sets.empty());
}

// ---- Second level and verdict ------------------------------------------------

std::vector<Trial> trials_from(const std::vector<double>& p) {
  std::vector<Trial> t;
  for (double v : p) t.push_back({0, v, 1});
  return t;
}

TEST(ReportSummary, VerdictsOnTypicalSetsOfPValues) {
  std::vector<double> uniform;
  for (int i = 0; i < 1000; ++i) uniform.push_back((i + 0.5) / 1000);
  std::vector<double> one_extreme = uniform;
  one_extreme[500] = 1e-12;  // hidden by a KS test, not by the smallest p
  std::vector<double> tenth_low = uniform;
  for (int i = 0; i < 1000; i += 10) tenth_low[i] = 1e-6;
  std::vector<double> too_good(200, 0.5);
  std::vector<double> all_low(100, 1e-4);
  const struct {
    const char* name;
    std::vector<double> p;
    Verdict verdict;
  } cases[] = {
      {"uniform", uniform, Verdict::normal},
      {"one extreme", one_extreme, Verdict::very_suspicious},
      {"a tenth at 1e-6", tenth_low, Verdict::fail},
      {"all one half", too_good, Verdict::fail},
      {"all low", all_low, Verdict::fail},
      {"single trial p=0.3", {0.3}, Verdict::normal},
      {"single trial p=1e-12", {1e-12}, Verdict::fail},
  };
  for (const auto& c : cases) {
    const Summary s = summarize(trials_from(c.p));
    EXPECT_EQ(verdict_name(s.verdict), std::string(verdict_name(c.verdict))) << c.name << " q=" << s.q;
    EXPECT_EQ(s.trials, static_cast<int>(c.p.size()));
  }
  const Summary u = summarize(trials_from(one_extreme));
  EXPECT_EQ(u.min_p, 1e-12);
  EXPECT_NEAR(u.min_p_level2, 1e-9, 1e-12);
  EXPECT_EQ(u.in_band, 979);
  EXPECT_EQ(summarize({}).verdict, Verdict::none);
}

TEST(ReportSummary, VerdictThresholds) {
  const struct {
    double q;
    Verdict v;
  } cases[] = {{0.5, Verdict::normal},          {1.1e-3, Verdict::normal},
               {1e-3, Verdict::unusual},        {2e-5, Verdict::unusual},
               {1e-6, Verdict::suspicious},     {1e-8, Verdict::very_suspicious},
               {1e-10, Verdict::fail},          {0, Verdict::fail}};
  for (const auto& c : cases) EXPECT_EQ(verdict_for(c.q), c.v) << c.q;
}

// ---- Output forms ------------------------------------------------------------

std::string render(void (*writer)(std::FILE*, const std::vector<Row>&), const Report& r) {
  char* data = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&data, &size);
  writer(f, summarize_all(r));
  std::fclose(f);
  std::string text(data, size);
  free(data);
  return text;
}

TEST(ReportOutput, TextCsvAndHtml) {
  std::string chi;
  for (int k = 0; k < 50; ++k) chi += chi_line(k, 200 + 2.2 * k);
  Report r;
  read_result_text("ChiTest6-xor.txt", chi, true, r);
  read_result_text("ChiTest8-a,b.txt", "", true, r);  // no trials; a comma in the name
  const std::string text = render(write_text, r);
  EXPECT_NE(text.find("ChiTest6-xor.txt  ChiTest6      xor           50"), std::string::npos)
      << text;
  EXPECT_NE(text.find("no trials"), std::string::npos);
  EXPECT_NE(text.find("chi-square, 255 dof"), std::string::npos);

  const std::string csv = render(write_csv, r);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "file,name,kind,tag,trials,ks_d,ks_p,in_band,band_fraction,band_p,min_p,max_p,"
            "min_p_level2,max_p_level2,q,verdict,reference,note");
  EXPECT_NE(csv.find("\"ChiTest8-a,b.txt\""), std::string::npos);
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);

  const std::string html = render(write_html, r);
  size_t svgs = 0;
  for (size_t at = html.find("<svg"); at != std::string::npos; at = html.find("<svg", at + 1)) ++svgs;
  EXPECT_EQ(svgs, 2u);  // two figures for the file with trials, none for the empty one
  EXPECT_NE(html.find("<polyline class=\"reference\""), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("http:", html.find("</style>")), html.find("http://www.w3.org/2000/svg"));
}

}  // namespace
