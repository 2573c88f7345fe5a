#include "tools/report/reference.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "tools/report/stats.h"

namespace rngreport {

namespace {

constexpr double PI = 3.14159265358979323846;

class ChiSquareReference : public Reference {
 public:
  ChiSquareReference(double dof, std::string what) : dof_(dof), what_(std::move(what)) {}
  double sf(double x) const override { return chi2_sf(x, dof_); }
  double pdf(double x) const override { return chi2_pdf(x, dof_); }
  double mean() const override { return dof_; }
  double sd() const override { return std::sqrt(2 * dof_); }
  std::string describe() const override { return what_; }

 private:
  double dof_;
  std::string what_;
};

// Keys of the randomized p-values of one trial: one per component.
uint64_t component_key(uint64_t key, int component) {
  return key ^ (0x9e3779b97f4a7c15ull * static_cast<uint64_t>(component + 1));
}

// Merges outcome `o` (value, probability) into `into`: the probabilities add,
// the value becomes their probability-weighted mean.
void merge_into(std::pair<double, double>& into, const std::pair<double, double>& o) {
  const double total = into.second + o.second;
  into.first = (into.first * into.second + o.first * o.second) / total;
  into.second = total;
}

}  // namespace

std::shared_ptr<const Reference> chi_square_reference(double dof, const std::string& what) {
  return std::make_shared<ChiSquareReference>(dof, what);
}

// ---- Lag test -------------------------------------------------------------

const double LAG_THRESHOLD[LAG_BANDS] = {16570.6544526712, 16591.4406538829, 16615.4025676278,
                                         16644.2855547248, 16681.8739101661};
const double LAG_NOMINAL[LAG_BANDS] = {0.15, 0.125, 0.1, 0.075, 0.05};
const double LAG_MULTIPLIER[LAG_BANDS] = {6.666666666666667, 8, 10, 13.333333333333334, 20};

double lag_batch_sf(double t, int cells) {
  // P(A + 2B > t) = integral over b of f_B(b) P(A > t - 2b), by Simpson's rule
  // over B's mean +- 40 standard deviations.
  const double dof_a = static_cast<double>(cells - 1) * (cells - 1);
  const double dof_b = cells - 1;
  const double lo = std::max(0.0, dof_b - 40 * std::sqrt(2 * dof_b));
  const double hi = dof_b + 40 * std::sqrt(2 * dof_b);
  const int intervals = 4000;
  const double h = (hi - lo) / intervals;
  double sum = 0;
  for (int i = 0; i <= intervals; ++i) {
    const double b = lo + i * h;
    const double w = (i == 0 || i == intervals) ? 1 : (i % 2 == 1 ? 4 : 2);
    sum += w * chi2_pdf(b, dof_b) * chi2_sf(t - 2 * b, dof_a);
  }
  return sum * h / 3;
}

const double* lag_band_probabilities() {
  static const auto bands = [] {
    std::vector<double> p(LAG_BANDS);
    for (int i = 0; i < LAG_BANDS; ++i) p[i] = lag_batch_sf(LAG_THRESHOLD[i]);
    return p;
  }();
  return bands.data();
}

TrialValue lag_trial(const int (&tail_counts)[LAG_BANDS], int batches, uint64_t key,
                     const double* band_probability) {
  double p[LAG_BANDS];
  int64_t previous_count = batches;
  double previous_probability = 1;
  for (int i = 0; i < LAG_BANDS; ++i) {
    // Batches above threshold i, among those above threshold i - 1.
    const double q = band_probability[i] / previous_probability;
    const double u = uniform_from_key(component_key(key, i));
    p[i] = two_sided(binom_randomized_cdf(tail_counts[i], previous_count, q, u));
    previous_count = tail_counts[i];
    previous_probability = band_probability[i];
  }
  TrialValue v;
  v.statistic = fisher_statistic(p, LAG_BANDS);
  v.p = chi2_sf(v.statistic, 2 * LAG_BANDS);
  return v;
}

std::shared_ptr<const Reference> lag_trial_reference() {
  return chi_square_reference(2 * LAG_BANDS,
                              "Fisher's combination of 5 conditional binomial tail counts: "
                              "chi-square, 10 dof");
}

// ---- Bit-transition test --------------------------------------------------

double pair_tail_probability(int k) {
  if (k <= 0) return 1;
  if (k > 100) return 0;
  long double binomial[101];
  binomial[0] = 1;
  for (int j = 0; j < 100; ++j) binomial[j + 1] = binomial[j] * (100 - j) / (j + 1);
  long double sum = 0;
  for (int j = 100; j >= k; --j) sum += binomial[j];
  return static_cast<double>(std::ldexp(sum, -100));
}

TrialValue pair_trial(const int64_t (&counts)[4], double groups, int ratio, uint64_t key) {
  const int64_t c00 = counts[0], c01 = counts[1], c11 = counts[2], c10 = counts[3];
  const int64_t ones = c11 + c10, zeros = c00 + c01, total = ones + zeros;
  const int64_t n = static_cast<int64_t>(std::llround(groups));
  const double counted = 2 * pair_tail_probability(ratio);
  double p[4];
  p[0] = two_sided(binom_randomized_cdf(total, n, counted, uniform_from_key(component_key(key, 0))));
  p[1] = two_sided(binom_randomized_cdf(ones, total, 0.5, uniform_from_key(component_key(key, 1))));
  p[2] = two_sided(binom_randomized_cdf(c11, ones, 0.5, uniform_from_key(component_key(key, 2))));
  p[3] = two_sided(binom_randomized_cdf(c00, zeros, 0.5, uniform_from_key(component_key(key, 3))));
  TrialValue v;
  v.statistic = fisher_statistic(p, 4);
  v.p = chi2_sf(v.statistic, 8);
  return v;
}

std::shared_ptr<const Reference> pair_trial_reference() {
  return chi_square_reference(
      8, "Fisher's combination of total, ones/zeros split and next bit on each side: "
         "chi-square, 8 dof");
}

// ---- Run-length tests -------------------------------------------------------

std::vector<double> symmetric_eigenvalues(std::vector<double> a, int n) {
  auto at = [&](int i, int j) -> double& { return a[static_cast<size_t>(i) * n + j]; };
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0;
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) off += at(i, j) * at(i, j);
    if (off < 1e-30) break;
    for (int p = 0; p < n; ++p) {
      for (int q = p + 1; q < n; ++q) {
        if (std::fabs(at(p, q)) < 1e-300) continue;
        const double theta = (at(q, q) - at(p, p)) / (2 * at(p, q));
        const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        const double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < n; ++k) {
          const double akp = at(k, p), akq = at(k, q);
          at(k, p) = c * akp - s * akq;
          at(k, q) = s * akp + c * akq;
        }
        for (int k = 0; k < n; ++k) {
          const double apk = at(p, k), aqk = at(q, k);
          at(p, k) = c * apk - s * aqk;
          at(q, k) = s * apk + c * aqk;
        }
      }
    }
  }
  std::vector<double> values(n);
  for (int i = 0; i < n; ++i) values[i] = at(i, i);
  std::sort(values.begin(), values.end());
  return values;
}

RunLengthReference::RunLengthReference(double expected_1, int colors)
    : expected_1_(expected_1), colors_(colors) {
  constexpr int LENGTHS = 30;
  const double n = 8 * expected_1;  // comparisons
  struct Cell {
    int color, length;
    double expected;
  };
  std::vector<Cell> normal;
  struct PoissonTerm {
    std::vector<double> value, probability;
  };
  std::vector<PoissonTerm> poisson, rare;
  double poisson_var = 0, support = 0;
  for (int c = 0; c < colors; ++c) {
    double e = expected_1;
    for (int length = 1; length <= LENGTHS; ++length, e *= 0.5) {
      if (e >= GAUSS_MIN) {
        normal.push_back({c, length, e});
        continue;
      }
      // (O - E)^2 / E with O Poisson(E), over the counts that matter.
      PoissonTerm term;
      double pmf = std::exp(-e), largest = 0;
      for (int k = 0; k < 100000; ++k) {
        if (pmf > 1e-18) {
          term.value.push_back((k - e) * (k - e) / e);
          term.probability.push_back(pmf);
          if (pmf > 1e-14) largest = std::max(largest, term.value.back());
        } else if (k > e) {
          break;
        }
        pmf *= e / (k + 1);
      }
      mean_ += 1;
      poisson_var += 2 + 1 / e;
      if (e < RARE_MAX) {
        rare.push_back(std::move(term));
      } else {
        poisson.push_back(std::move(term));
        support += largest;
        main_mean_ += 1;
      }
    }
  }
  // Covariance of the normalized counts (O - E) / sqrt(E) of a fair bit stream.
  const int m = static_cast<int>(normal.size());
  std::vector<double> cov(static_cast<size_t>(m) * m);
  for (int i = 0; i < m; ++i) {
    for (int j = 0; j < m; ++j) {
      const Cell &a = normal[i], &b = normal[j];
      const double root = std::sqrt(a.expected / n * b.expected / n);
      const int l = a.length, k = b.length;
      const double v = a.color == b.color ? (i == j ? 1.0 : 0.0) - (l + k - 1) * root
                                          : (5 - l - k) * root;
      cov[static_cast<size_t>(i) * m + j] = v;
    }
  }
  weights_ = symmetric_eigenvalues(cov, m);
  double normal_var = 0;
  for (double& w : weights_) {
    w = std::max(w, 0.0);
    mean_ += w;
    main_mean_ += w;
    normal_var += 2 * w * w;
  }
  sd_ = std::sqrt(normal_var + poisson_var);
  poisson_terms_ = static_cast<int>(poisson.size() + rare.size());
  rare_terms_ = static_cast<int>(rare.size());

  // The rare counts' joint distribution by successive convolution, outcomes
  // closer than 1e-3 merged and those below 1e-17 dropped.
  std::vector<std::pair<double, double>> rare_sum{{0.0, 1.0}}, next;
  for (const PoissonTerm& term : rare) {
    next.clear();
    for (const auto& [shift, probability] : rare_sum) {
      for (size_t k = 0; k < term.value.size(); ++k) {
        const double p = probability * term.probability[k];
        if (p < 1e-17) break;  // probabilities fall with k for E < 1
        next.push_back({shift + term.value[k], p});
      }
    }
    std::sort(next.begin(), next.end());
    rare_sum.clear();
    for (const auto& o : next) {
      if (!rare_sum.empty() && o.first - rare_sum.back().first <= std::max(1e-3, 1e-9 * o.first))
        merge_into(rare_sum.back(), o);
      else
        rare_sum.push_back(o);
    }
  }
  std::vector<std::pair<double, double>> low;
  double low_top = 0;
  low_mass_ = 0;
  for (const auto& o : rare_sum) {
    if (o.first > RARE_SPLIT) {
      // Far in the tail: outcomes within 0.5 of each other share one
      // inversion (an error below 1% of their probability).
      if (!high_.empty() && o.first - high_.back().first < 0.5)
        merge_into(high_.back(), o);
      else
        high_.push_back(o);
      continue;
    }
    low.push_back(o);
    low_mass_ += o.second;
    low_moment_ += o.first * o.second;
    low_top = std::max(low_top, o.first);
  }
  low_moment_ += low_mass_ * main_mean_;

  // Tabulate the characteristic functions on a grid fine enough that the
  // inversion does not alias any of their mass.
  support += main_mean_ + 40 * std::sqrt(normal_var) + 50 + low_top;
  step_ = PI / support;
  constexpr int MAX_STEPS = 400000;
  for (int j = 0; j < MAX_STEPS; ++j) {
    const double u = j * step_;
    std::complex<double> log_phi = 0;
    for (double w : weights_) log_phi += -0.5 * std::log(std::complex<double>(1, -2 * w * u));
    const double normal_modulus = std::exp(log_phi.real());
    std::complex<double> phi = std::exp(log_phi);
    for (const PoissonTerm& term : poisson) {
      std::complex<double> t = 0;
      for (size_t k = 0; k < term.value.size(); ++k)
        t += term.probability[k] * std::polar(1.0, u * term.value[k]);
      phi *= t;
    }
    phi_main_.push_back(phi);
    std::complex<double> rare_phi = 0;
    for (const auto& [shift, probability] : low) rare_phi += probability * std::polar(1.0, u * shift);
    phi_low_.push_back(phi * rare_phi);
    if (j > 0 && normal_modulus < 1e-15 * u) break;
  }
}

double RunLengthReference::invert_sf(const std::vector<std::complex<double>>& phi, double mass,
                                     double moment, double x) const {
  if (x <= 0) return mass;
  if (x >= PI / step_) return 0;
  double sum = 0.5 * (moment - mass * x);
  for (size_t j = 1; j < phi.size(); ++j) {
    const double u = j * step_;
    sum += (std::polar(1.0, -u * x) * phi[j]).imag() / u;
  }
  return std::clamp(0.5 * mass + sum * step_ / PI, 0.0, mass);
}

double RunLengthReference::invert_pdf(const std::vector<std::complex<double>>& phi, double mass,
                                      double x) const {
  if (x <= 0 || x >= PI / step_) return 0;
  double sum = 0.5 * mass;
  for (size_t j = 1; j < phi.size(); ++j)
    sum += (std::polar(1.0, -(j * step_) * x) * phi[j]).real();
  return std::max(0.0, sum * step_ / PI);
}

double RunLengthReference::main_sf(double x) const {
  if (x <= 0) return 1;
  const double top = PI / step_;
  if (x >= top) return 0;
  if (main_grid_.empty()) {
    // Up to where the tail has vanished below the inversion's accuracy.
    for (double g = 0; g < top + 2 * GRID; g += GRID) {
      main_grid_.push_back(invert_sf(phi_main_, 1, main_mean_, g));
      if (g > main_mean_ && main_grid_.back() < 1e-14) break;
    }
  }
  // Cubic (Catmull-Rom) interpolation between grid points.
  const double t = x / GRID;
  const size_t i = static_cast<size_t>(t);
  const double f = t - i;
  auto at = [&](size_t k) { return k < main_grid_.size() ? main_grid_[k] : 0.0; };
  const double p0 = i > 0 ? at(i - 1) : 1.0, p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
  const double v = p1 + 0.5 * f * (p2 - p0 + f * (2 * p0 - 5 * p1 + 4 * p2 - p3 +
                                                   f * (3 * (p1 - p2) + p3 - p0)));
  return std::clamp(v, 0.0, 1.0);
}

double RunLengthReference::sf(double x) const {
  double p = invert_sf(phi_low_, low_mass_, low_moment_, x);
  for (const auto& [shift, probability] : high_)
    p += probability * (shift >= x ? 1.0 : main_sf(x - shift));
  return std::clamp(p, 0.0, 1.0);
}

double RunLengthReference::pdf(double x) const {
  double f = invert_pdf(phi_low_, low_mass_, x);
  for (const auto& [shift, probability] : high_)
    if (shift < x) f += probability * invert_pdf(phi_main_, 1, x - shift);
  return f;
}

std::string RunLengthReference::describe() const {
  char text[256];
  std::snprintf(text, sizeof text,
                "KaiSq %s over lengths 1-30 for %.0f comparisons: %zu correlated normal counts "
                "+ %d Poisson counts; mean %.3f, sd %.3f",
                colors_ == 2 ? "total" : "sum", 8 * expected_1_, weights_.size(), poisson_terms_,
                mean_, sd_);
  return text;
}

}  // namespace rngreport
