// Reference distributions of the suite's per-trial statistics under the
// hypothesis of an ideal random source, and the per-trial p-values. The
// derivations are in docs/rngreport.md.
#pragma once
#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rngreport {

// The distribution a trial statistic is compared with: P(X > x), its density
// for plots, and one line saying what it is.
class Reference {
 public:
  virtual ~Reference() = default;
  virtual double sf(double x) const = 0;
  virtual double pdf(double x) const = 0;
  virtual double mean() const = 0;
  virtual double sd() const = 0;
  virtual std::string describe() const = 0;
};

// Chi-square with `dof` degrees of freedom.
std::shared_ptr<const Reference> chi_square_reference(double dof, const std::string& what);

// ---- Lag test -------------------------------------------------------------

inline constexpr int LAG_BANDS = 5;
inline constexpr int LAG_CELLS = 128;
// The thresholds of the five tail bands, as the lag programs hold them.
extern const double LAG_THRESHOLD[LAG_BANDS];
// The bands' nominal fractions P_i (0.15 ... 0.05) and multipliers 1/P_i.
extern const double LAG_NOMINAL[LAG_BANDS];
extern const double LAG_MULTIPLIER[LAG_BANDS];

// P(X > t) for a batch statistic X over overlapping pairs of `cells` values:
// X = A + 2B with A chi-square((cells-1)^2) and B chi-square(cells-1).
double lag_batch_sf(double t, int cells = LAG_CELLS);
// The true band probabilities at the programs' thresholds (computed once).
const double* lag_band_probabilities();

// The trial's five nested tail counts out of `batches`, as a chain of
// conditional binomials combined by Fisher's method. `key` seeds the
// randomization of the discrete p-values. Returns the statistic (chi-square
// with 10 degrees of freedom) and the p-value.
struct TrialValue {
  double statistic = 0;
  double p = 1;
};
TrialValue lag_trial(const int (&tail_counts)[LAG_BANDS], int batches, uint64_t key,
                     const double* band_probability = lag_band_probabilities());
std::shared_ptr<const Reference> lag_trial_reference();

// ---- Bit-transition test --------------------------------------------------

// T(k): the probability that at least k of 100 fair bits are ones.
double pair_tail_probability(int k);

// The four counts (0-0, 0-1, 1-1, 1-0) of a trial of n groups at `ratio`:
// the total against Binomial(n, 2T), the split ones/zeros, and the next bit
// within each side, combined by Fisher's method (chi-square, 8 dof).
TrialValue pair_trial(const int64_t (&counts)[4], double groups, int ratio, uint64_t key);
std::shared_ptr<const Reference> pair_trial_reference();

// ---- Run-length tests -------------------------------------------------------

// The KaiSq total over run lengths 1 to 30 of both bit values, for a trial
// whose expected count of runs of length 1 is `expected_1` (n/8 for n
// comparisons). Counts with an expectation of at least GAUSS_MIN are jointly
// normal with the covariance of runs in a fair bit stream; the rarer lengths
// are independent Poisson counts. The distribution is obtained by inverting
// its characteristic function. Counts expected less than once (reduced sizes
// only) are convolved outcome by outcome; their rare, very large outcomes are
// kept apart, since they would otherwise need a very fine inversion grid.
class RunLengthReference : public Reference {
 public:
  static constexpr double GAUSS_MIN = 200;  // normal counts from this expectation on
  static constexpr double RARE_MAX = 1;     // rare counts below this expectation
  static constexpr double RARE_SPLIT = 1000;  // rare outcomes above this are kept apart
  // `colors` 2 for the total of both bit values, 1 for one bit value's sum.
  explicit RunLengthReference(double expected_1, int colors = 2);
  double sf(double x) const override;
  double pdf(double x) const override;
  double mean() const override { return mean_; }
  double sd() const override { return sd_; }
  std::string describe() const override;
  const std::vector<double>& gaussian_weights() const { return weights_; }

 private:
  // Inversion of a characteristic function tabulated at step_ * j whose
  // distribution has total mass `mass` and first moment `moment`.
  double invert_sf(const std::vector<std::complex<double>>& phi, double mass, double moment,
                   double x) const;
  double invert_pdf(const std::vector<std::complex<double>>& phi, double mass, double x) const;

  double expected_1_;
  int colors_;
  double mean_ = 0, sd_ = 0, main_mean_ = 0;
  std::vector<double> weights_;  // eigenvalues of the normal part
  int poisson_terms_ = 0, rare_terms_ = 0;
  double step_ = 0;
  // The normal and Poisson counts alone, and together with the rare counts'
  // outcomes up to RARE_SPLIT (mass low_mass_, first moment low_moment_).
  std::vector<std::complex<double>> phi_main_, phi_low_;
  double low_mass_ = 1, low_moment_ = 0;
  // The rare counts' outcomes above RARE_SPLIT: contribution and probability.
  std::vector<std::pair<double, double>> high_;
  // P(main > x) on a grid of spacing GRID, built when first needed: a
  // statistic beyond RARE_SPLIT meets hundreds of the outcomes above.
  static constexpr double GRID = 1.0;
  double main_sf(double x) const;
  mutable std::vector<double> main_grid_;
};

// Eigenvalues of a symmetric matrix (n x n, row-major), by Jacobi rotations.
std::vector<double> symmetric_eigenvalues(std::vector<double> a, int n);

}  // namespace rngreport
