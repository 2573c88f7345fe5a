#include "tools/report/stats.h"

#include <algorithm>
#include <cmath>

namespace rngreport {

namespace {

constexpr double EPS = 1e-16;
constexpr double TINY = 1e-300;
constexpr int MAX_ITERATIONS = 1000000;

// x^a e^-x / Gamma(a), the common factor of both gamma tails.
double gamma_prefactor(double a, double x) {
  return std::exp(-x + a * std::log(x) - std::lgamma(a));
}

// P(a, x) by its power series; converges quickly for x < a + 1.
double gamma_p_series(double a, double x) {
  double term = 1.0 / a;
  double sum = term;
  for (int n = 1; n < MAX_ITERATIONS; ++n) {
    term *= x / (a + n);
    sum += term;
    if (std::fabs(term) < std::fabs(sum) * EPS) break;
  }
  return sum * gamma_prefactor(a, x);
}

// Q(a, x) by its continued fraction (modified Lentz); for x >= a + 1.
double gamma_q_fraction(double a, double x) {
  double b = x + 1.0 - a;
  double c = 1.0 / TINY;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i < MAX_ITERATIONS; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < TINY) d = TINY;
    c = b + an / c;
    if (std::fabs(c) < TINY) c = TINY;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < EPS) break;
  }
  return h * gamma_prefactor(a, x);
}

// The continued fraction of I_x(a, b), for x < (a + 1) / (a + b + 2).
double beta_fraction(double a, double b, double x) {
  const double qab = a + b, qap = a + 1.0, qam = a - 1.0;
  double c = 1.0;
  double d = 1.0 - qab * x / qap;
  if (std::fabs(d) < TINY) d = TINY;
  d = 1.0 / d;
  double h = d;
  for (int m = 1; m < MAX_ITERATIONS; ++m) {
    const int m2 = 2 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < TINY) d = TINY;
    c = 1.0 + aa / c;
    if (std::fabs(c) < TINY) c = TINY;
    d = 1.0 / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1.0 + aa * d;
    if (std::fabs(d) < TINY) d = TINY;
    c = 1.0 + aa / c;
    if (std::fabs(c) < TINY) c = TINY;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < EPS) break;
  }
  return h;
}

}  // namespace

double gamma_p(double a, double x) {
  if (x <= 0) return 0;
  if (x < a + 1.0) return gamma_p_series(a, x);
  return 1.0 - gamma_q_fraction(a, x);
}

double gamma_q(double a, double x) {
  if (x <= 0) return 1;
  if (x < a + 1.0) return 1.0 - gamma_p_series(a, x);
  return gamma_q_fraction(a, x);
}

double beta_inc(double a, double b, double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) +
                                a * std::log(x) + b * std::log1p(-x));
  if (x < (a + 1.0) / (a + b + 2.0)) return front * beta_fraction(a, b, x) / a;
  return 1.0 - front * beta_fraction(b, a, 1.0 - x) / b;
}

double chi2_sf(double x, double dof) { return gamma_q(0.5 * dof, 0.5 * x); }

double chi2_pdf(double x, double dof) {
  if (x <= 0) return dof == 2 ? 0.5 : 0;
  const double k = 0.5 * dof;
  return std::exp((k - 1) * std::log(x) - 0.5 * x - k * std::log(2.0) - std::lgamma(k));
}

double binom_pmf(int64_t k, int64_t n, double p) {
  if (k < 0 || k > n) return 0;
  if (p <= 0) return k == 0 ? 1 : 0;
  if (p >= 1) return k == n ? 1 : 0;
  const double dn = static_cast<double>(n), dk = static_cast<double>(k);
  return std::exp(std::lgamma(dn + 1) - std::lgamma(dk + 1) - std::lgamma(dn - dk + 1) +
                  dk * std::log(p) + (dn - dk) * std::log1p(-p));
}

double binom_cdf(int64_t k, int64_t n, double p) {
  if (k < 0) return 0;
  if (k >= n) return 1;
  if (p <= 0) return 1;
  if (p >= 1) return 0;
  return beta_inc(static_cast<double>(n - k), static_cast<double>(k + 1), 1.0 - p);
}

double binom_sf(int64_t k, int64_t n, double p) {
  if (k <= 0) return 1;
  if (k > n) return 0;
  if (p <= 0) return 0;
  if (p >= 1) return 1;
  return beta_inc(static_cast<double>(k), static_cast<double>(n - k + 1), p);
}

double binom_randomized_cdf(int64_t k, int64_t n, double p, double u) {
  return std::clamp(binom_cdf(k - 1, n, p) + u * binom_pmf(k, n, p), 0.0, 1.0);
}

double two_sided(double v) { return std::min(1.0, 2.0 * std::min(v, 1.0 - v)); }

double fisher_statistic(const double* p, int m) {
  double sum = 0;
  for (int i = 0; i < m; ++i) sum += -2.0 * std::log(std::max(p[i], 1e-300));
  return sum;
}

double kolmogorov_sf(double lambda) {
  if (lambda <= 0) return 1;
  if (lambda < 1.18) {
    // The theta-function form converges fast for small lambda.
    const double pi = 3.14159265358979323846;
    const double f = -pi * pi / (8 * lambda * lambda);
    double cdf = 0;
    for (int j = 1; j <= 20; ++j) cdf += std::exp(f * (2 * j - 1) * (2 * j - 1));
    return std::clamp(1.0 - std::sqrt(2 * pi) / lambda * cdf, 0.0, 1.0);
  }
  double sum = 0;
  for (int j = 1; j <= 100; ++j) {
    const double term = std::exp(-2.0 * j * j * lambda * lambda);
    sum += (j % 2 == 1) ? term : -term;
    if (term < 1e-300) break;
  }
  return std::clamp(2 * sum, 0.0, 1.0);
}

KsResult ks_uniform(std::vector<double> values) {
  KsResult r;
  const size_t n = values.size();
  if (n == 0) return r;
  std::sort(values.begin(), values.end());
  for (size_t i = 0; i < n; ++i) {
    const double v = std::clamp(values[i], 0.0, 1.0);
    r.d = std::max(r.d, std::max(static_cast<double>(i + 1) / n - v, v - static_cast<double>(i) / n));
  }
  const double rn = std::sqrt(static_cast<double>(n));
  r.p = kolmogorov_sf((rn + 0.12 + 0.11 / rn) * r.d);
  return r;
}

double uniform_from_key(uint64_t key) {
  uint64_t z = key + 0x9e3779b97f4a7c15ull;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * 0x1.0p-53;
}

uint64_t hash_text(const char* text, uint64_t seed) {
  uint64_t h = 0xcbf29ce484222325ull ^ seed;
  for (; *text; ++text) {
    h ^= static_cast<unsigned char>(*text);
    h *= 0x100000001b3ull;
  }
  return h;
}

}  // namespace rngreport
