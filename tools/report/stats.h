// Distribution functions the report needs, written out here so that every
// p-value can be traced to a formula: regularized incomplete gamma and beta
// functions, chi-square, binomial and Kolmogorov distributions.
#pragma once
#include <cstdint>
#include <vector>

namespace rngreport {

// Regularized lower and upper incomplete gamma functions P(a, x), Q(a, x).
// Each is computed directly (series or continued fraction) where it is the
// smaller one, so small tail probabilities keep their relative accuracy.
double gamma_p(double a, double x);
double gamma_q(double a, double x);

// Regularized incomplete beta function I_x(a, b).
double beta_inc(double a, double b, double x);

// Chi-square with `dof` degrees of freedom: P(X > x) and the density.
double chi2_sf(double x, double dof);
double chi2_pdf(double x, double dof);

// Binomial(n, p): P(X = k), P(X <= k), P(X >= k).
double binom_pmf(int64_t k, int64_t n, double p);
double binom_cdf(int64_t k, int64_t n, double p);
double binom_sf(int64_t k, int64_t n, double p);

// A p-value of a discrete statistic made exactly uniform under the null
// hypothesis: P(X < x) + u P(X = x) with u uniform in [0, 1). Two-sided:
// 2 min(v, 1 - v) of that value v, also uniform.
double binom_randomized_cdf(int64_t k, int64_t n, double p, double u);
double two_sided(double v);

// Fisher's combination of independent uniform p-values: -2 sum ln p, which is
// chi-square with 2m degrees of freedom; returns that statistic.
double fisher_statistic(const double* p, int m);

// Kolmogorov's limiting distribution: P(K > lambda).
double kolmogorov_sf(double lambda);

// Kolmogorov-Smirnov test of the values against uniform on [0, 1]:
// the statistic D and its p-value (Stephens' small-sample correction).
struct KsResult {
  double d = 0;
  double p = 1;
};
KsResult ks_uniform(std::vector<double> values);

// A reproducible uniform in [0, 1) derived from a 64-bit key (splitmix64).
double uniform_from_key(uint64_t key);
uint64_t hash_text(const char* text, uint64_t seed = 0);

}  // namespace rngreport
