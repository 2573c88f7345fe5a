#include "tools/report/summary.h"

#include <algorithm>
#include <cmath>

#include "tools/report/stats.h"

namespace rngreport {

const char* verdict_name(Verdict v) {
  switch (v) {
    case Verdict::normal: return "normal";
    case Verdict::unusual: return "unusual";
    case Verdict::suspicious: return "suspicious";
    case Verdict::very_suspicious: return "very suspicious";
    case Verdict::fail: return "FAIL";
    case Verdict::none: break;
  }
  return "no trials";
}

Verdict verdict_for(double q) {
  if (q > VERDICT_LIMIT[0]) return Verdict::normal;
  if (q > VERDICT_LIMIT[1]) return Verdict::unusual;
  if (q > VERDICT_LIMIT[2]) return Verdict::suspicious;
  if (q > VERDICT_LIMIT[3]) return Verdict::very_suspicious;
  return Verdict::fail;
}

Summary summarize(const std::vector<Trial>& trials) {
  Summary s;
  s.trials = static_cast<int>(trials.size());
  if (s.trials == 0) return s;
  std::vector<double> p;
  p.reserve(trials.size());
  for (const Trial& t : trials) {
    p.push_back(t.p);
    s.in_band += t.p >= BAND_LOW && t.p <= BAND_HIGH;
    s.min_p = std::min(s.min_p, t.p);
    s.max_p = std::max(s.max_p, t.p);
  }
  const KsResult ks = ks_uniform(p);
  s.ks_d = ks.d;
  s.ks_p = ks.p;
  const double inside = BAND_HIGH - BAND_LOW;
  s.band_fraction = static_cast<double>(s.in_band) / s.trials;
  s.band_p = std::min(1.0, 2 * std::min(binom_cdf(s.in_band, s.trials, inside),
                                        binom_sf(s.in_band, s.trials, inside)));
  const double n = s.trials;
  s.min_p_level2 = -std::expm1(n * std::log1p(-std::min(s.min_p, 1.0 - 1e-16)));
  s.max_p_level2 = s.max_p <= 0 ? 1 : -std::expm1(n * std::log(s.max_p));
  if (s.max_p >= 1) s.max_p_level2 = 0;
  // The smallest of four p-values, adjusted for having looked at four.
  const double smallest = std::min({s.ks_p, s.band_p, s.min_p_level2, s.max_p_level2});
  s.q = -std::expm1(4 * std::log1p(-std::min(smallest, 1.0 - 1e-16)));
  if (smallest <= 0) s.q = 0;
  s.verdict = verdict_for(s.q);
  return s;
}

}  // namespace rngreport
