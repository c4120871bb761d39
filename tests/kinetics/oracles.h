// Straightforward forms of the model curves and of the named residual-sum
// functions, used by the tests as oracles for what the fit computes in its
// own, faster way.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "kinetics/curves.h"
#include "kinetics/fit_session.h"
#include "kinetics/objectives.h"

namespace kelvora {

// Adjusted time at a constant temperature: day x ArrheniusFactor.
inline double AdjustedTime(float day, double E, double T, float Ts) {
  return static_cast<double>(day) * ArrheniusFactor(E, T, Ts);
}

// Model value N for the model's parameter vector `p` (a ParaRecord's slots;
// for model 6 the six values Ea1, k, No, TAU, Ea2, sigma) and the adjusted
// times it needs: t1 = t(first activation energy), t2 = t(second); for model
// 6, t1 is the corrected time tk.
inline double ModelCurve(int16_t model, const std::vector<double>& p, double t1, double t2 = 0) {
  switch (model) {
    case 1:
    case 4:
      return p[2] * (1 - std::exp(t1 * (p[1] * -1))) + p[3];
    case 2:
      return p[6] +
             ((1 - std::exp(t2 * (p[3] * -1))) * p[5] + (1 - std::exp(t1 * (p[2] * -1))) * p[4]);
    case 3:
      return p[6] +
             ((1 - std::exp(t1 * (p[2] * -1))) * p[4] - (1 - std::exp(t2 * (p[3] * -1))) * p[5]);
    case 5:
      if (p[3] - t2 > 0) return 0;
      return (1 - std::exp((t1 - p[3]) * (p[1] * -1))) * p[2];
    case 6:
      return (1 - std::exp(p[1] * -1 * t1)) * p[2];
    default:
      return 0;
  }
}

// Corrected time tk of the Gaussian model at a constant temperature T on
// incubation day `day` (terms i = 0 ... round-half-even(day)).
inline double GaussCorrectedTime(double Ea1, double Ea2, double tau, double sigma, double T,
                                 float Ts, float day) {
  double D = RoundHalfEven(day);
  double f1 = ArrheniusFactor(Ea1, T, Ts);
  double f2 = ArrheniusFactor(Ea2, T, Ts);
  double tk = 0;
  for (int i = 0; i <= D; ++i) {
    double z = (i * f2 - tau) / sigma;
    tk = tk + f1 * NormalCdf(z);
  }
  return tk;
}

namespace oracle_detail {
// Evaluates s.paramVec with the named source's objective into the per-cell
// tables, clearing fitOk on an error.
template <typename D>
void Evaluate(FitSession& s, FitSource source, int16_t model, D& dest) {
  const Dest d = std::is_same_v<D, float> ? Dest::Single : Dest::Double;
  EvalResult r = MakeObjective(s, model, source)->Eval(s.paramVec.data(), d, &s);
  if (!r.ok) s.fitOk = false;
  dest = static_cast<D>(r.sum);
}
inline int16_t ParallelModel(const FitSession& s) { return s.currentModel == 3 ? 3 : 2; }
}  // namespace oracle_detail

// The objective functions by name, into a single or double destination, as
// the rules describe them (the parallel one takes its model from
// s.currentModel).
template <typename D>
void RssSimple(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Laboratory, 1, d);
}
template <typename D>
void RssParallel(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Laboratory, oracle_detail::ParallelModel(s), d);
}
template <typename D>
void RssSigmoid(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Laboratory, 5, d);
}
template <typename D>
void RssGauss(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Laboratory, 6, d);
}
template <typename D>
void FieldRssSimple(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Field, 1, d);
}
template <typename D>
void FieldRssParallel(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Field, oracle_detail::ParallelModel(s), d);
}
template <typename D>
void FieldRssSigmoid(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Field, 5, d);
}
template <typename D>
void FieldRssGauss(FitSession& s, D& d) {
  oracle_detail::Evaluate(s, FitSource::Field, 6, d);
}

}  // namespace kelvora
