// Second level: what the trial p-values of one file say together, and the
// graded verdict built on it.
#pragma once
#include <string>
#include <vector>

#include "tools/report/parse.h"

namespace rngreport {

enum class Verdict { normal, unusual, suspicious, very_suspicious, fail, none };
const char* verdict_name(Verdict v);

// The verdict's thresholds on the file's combined second-level p-value q:
// normal q > 1e-3, unusual q > 1e-5, suspicious q > 1e-7, very suspicious
// q > 1e-10, FAIL below.
inline constexpr double VERDICT_LIMIT[4] = {1e-3, 1e-5, 1e-7, 1e-10};
Verdict verdict_for(double q);

inline constexpr double BAND_LOW = 0.01, BAND_HIGH = 0.99;

struct Summary {
  int trials = 0;
  double ks_d = 0, ks_p = 1;      // KS test of the p-values against uniform
  int in_band = 0;                // trials with BAND_LOW <= p <= BAND_HIGH
  double band_fraction = 0, band_p = 1;  // binomial(trials, 0.98), two-sided
  double min_p = 1, max_p = 0;
  double min_p_level2 = 1;        // P(smallest of `trials` uniforms <= min_p)
  double max_p_level2 = 1;        // P(largest of `trials` uniforms >= max_p)
  double q = 1;                   // the four second-level p-values combined (Sidak)
  Verdict verdict = Verdict::none;
};

Summary summarize(const std::vector<Trial>& trials);

}  // namespace rngreport
