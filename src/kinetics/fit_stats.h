// How well the data determine a finished fit: standard errors, confidence
// intervals, correlations, R², AICc, BIC, Akaike weights, half-lives and Q10,
// with warnings. Everything is computed after the fit from the stored
// (single-precision) parameters, in double precision and with the fit's model
// arithmetic but without its rounding to single; nothing of the session is
// changed and nothing is stored. No Qt: the screens and the CLI only show it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kinetics/fit_session.h"

namespace kelvora {

// ---- Least-squares statistics of any model y ≈ f(θ) ------------------------

// Why a parameter has no standard error.
enum class Estimability {
  Estimated,     // it has one
  NoSlope,       // its column of the Jacobian is zero: nothing moves with it
  Undetermined,  // the model has more parameters than the data can determine
};

// The statistics at a point θ from its residuals and Jacobian.
struct LsqInput {
  std::vector<double> theta;      // p values
  std::vector<double> observed;   // n values (for R²)
  std::vector<double> residuals;  // n values, observed − calculated
  std::vector<double> jacobian;   // n × p, row-major: ∂calculated_i / ∂θ_j
};

struct LsqStats {
  int n = 0;
  int p = 0;    // parameters whose column is not zero
  int dof = 0;  // n − p
  double rss = 0;
  std::optional<double> sigma;      // √(rss / dof), when dof > 0
  std::optional<double> r2;         // 1 − rss / SST, when SST > 0 and dof > 0
  std::optional<double> adjR2;      // the same, adjusted for the dof
  bool determined = false;          // rcond ≥ 1e-12 and n > p: the intervals exist
  double rcond = 0;                 // of JᵀJ with the columns scaled to unit length
  std::optional<double> tQuantile;  // t₀.₉₇₅(dof)
  std::vector<Estimability> state;  // per parameter
  std::vector<std::optional<double>> se, t, lo, hi;
  std::vector<std::vector<std::optional<double>>> corr;
  // The covariance, p × p over all parameters (zero rows and columns for a
  // parameter that is not estimated); empty when not determined.
  std::vector<std::vector<double>> cov;
};

// The smallest reciprocal condition of the scaled JᵀJ that still counts as
// determined.
inline constexpr double kMinReciprocalCondition = 1e-12;

LsqStats ComputeLsqStats(const LsqInput& in);

// f(θ) → the n calculated values; false when they cannot be computed.
using CalcFunction =
    std::function<bool(const std::vector<double>& theta, std::vector<double>& calc)>;

// The Jacobian (n × p, row-major) by central differences with the step
// relStep·|θ_j| (relStep when θ_j is 0). False when f fails.
bool CentralDifferenceJacobian(const CalcFunction& f, const std::vector<double>& theta, size_t n,
                               double relStep, std::vector<double>& jacobian);

// Student's t quantile t₀.₉₇₅ for dof > 0 degrees of freedom.
double StudentT975(int dof);

// ---- The statistics of a fit -------------------------------------------------

// A value derived from one parameter, with its delta-method standard error.
struct DerivedValue {
  double value = 0;
  std::optional<double> se;
};

// One observation as the charts of the statistics show it.
struct StatsPoint {
  int group = 1;       // laboratory: the temperature column 1..3; field: 1
  double adjDays = 0;  // temperature-adjusted days of the model (as the results chart)
  double observed = 0;
  double calc = 0;      // in double, without rounding to single
  double residual = 0;  // observed − calc
};

struct ModelStats {
  int16_t model = 0;
  // Model 6: σ alone, with the model-5 values held as the fit holds them.
  bool conditional = false;
  std::vector<std::string> names;  // one per parameter slot of the model's fitted vector
  std::vector<std::string> units;
  std::vector<double> values;  // the stored parameters
  float fitRss = 0;            // the fit's own RSS (single)
  LsqStats lsq;                // n, dof, rss (double), σ, R², SE, intervals, t, corr
  int aicParams = 0;           // K: 4, 7, 7, 4, 5, 6
  double aic = 0;              // n·ln(RSS) + 2K from the fit's own RSS
  std::optional<double> aicc;  // when n − K − 1 > 0
  double bic = 0;
  double deltaAic = 0;
  double akaikeWeight = 0;
  // Rate-constant slots: ln 2 / k (days at Ts); activation-energy slots: Q10.
  // None where dof ≤ 0.
  std::vector<std::optional<DerivedValue>> halfLife;
  std::vector<std::optional<DerivedValue>> q10;
  std::vector<std::string> warnings;  // Japanese texts
  std::vector<StatsPoint> points;     // in the order of the observations
};

struct FitStats {
  std::array<std::optional<ModelStats>, 7> models;  // [1..6], the models of the fit
  std::array<std::string, 7> unavailable;           // why a model of the fit has none
  std::array<std::string, 4> groupNames;            // [1..3] "15℃" …; field: [1] "ほ場"
  int groups = 0;
  float standardTemp = 0;
};

// Slots that are rate constants / activation energies in a model's fitted
// vector (model 6: σ alone, neither).
bool IsRateConstantSlot(int16_t model, size_t slot);
bool IsActivationEnergySlot(int16_t model, size_t slot);

// The statistics of every model of a finished fit (laboratory or field) that
// can be evaluated at its stored parameters. The session is only read.
FitStats ComputeFitStats(const FitSession& s);

// The fitted curve of a model with its 95 % confidence band
// t₀.₉₇₅·√(gᵀ Cov g), g the gradient of the curve, per group: laboratory
// columns from day 0 to their last observed day, field rows from the first to
// the last sample's. x is the adjusted days as in StatsPoint.
struct BandSeries {
  int group = 1;
  std::vector<double> x, fit, lo, hi;  // lo/hi empty when the model is not determined
};
std::vector<BandSeries> ConfidenceBand(const FitSession& s, const ModelStats& stats,
                                       int pointsPerGroup = 120);

// ---- For the tests -------------------------------------------------------------

// The calculated values of a model at its observations, in double; the
// Jacobian analytic for models 1-5 and by central differences for model 6.
// False when the values cannot be computed.
bool ModelValuesAt(const FitSession& s, int16_t model, const std::vector<double>& theta,
                   std::vector<double>& calc, std::vector<double>* jacobian);

// ModelValuesAt with the observations and temperatures read once, for a
// caller that evaluates one model many times.
class PreparedModel {
 public:
  PreparedModel(const FitSession& s, int16_t model);
  ~PreparedModel();
  bool Ok() const;
  const std::vector<double>& Observed() const;
  bool ValuesAt(const std::vector<double>& theta, std::vector<double>& calc,
                std::vector<double>* jacobian) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The observed values in the order ModelValuesAt returns its values; false
// when one cannot be read.
bool ObservedValues(const FitSession& s, std::vector<double>& y);

}  // namespace kelvora
