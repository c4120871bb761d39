#include "kinetics/fit_stats.h"

#include <Eigen/Dense>
#include <algorithm>
#include <boost/math/distributions/students_t.hpp>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>

#include "kinetics/curves.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/model_kind.h"
#include "store/number_text.h"

namespace kelvora {

// ---- Least squares --------------------------------------------------------------

double StudentT975(int dof) {
  boost::math::students_t dist(static_cast<double>(dof));
  return boost::math::quantile(dist, 0.975);
}

bool CentralDifferenceJacobian(const CalcFunction& f, const std::vector<double>& theta, size_t n,
                               double relStep, std::vector<double>& jacobian) {
  const size_t p = theta.size();
  jacobian.assign(n * p, 0.0);
  std::vector<double> up(n), down(n);
  for (size_t j = 0; j < p; ++j) {
    const double h = theta[j] == 0 ? relStep : relStep * std::fabs(theta[j]);
    std::vector<double> t = theta;
    t[j] = theta[j] + h;
    const double hiStep = t[j] - theta[j];  // the step actually taken
    if (!f(t, up)) return false;
    t[j] = theta[j] - h;
    const double loStep = theta[j] - t[j];
    if (!f(t, down)) return false;
    if (up.size() != n || down.size() != n) return false;
    for (size_t i = 0; i < n; ++i) jacobian[i * p + j] = (up[i] - down[i]) / (hiStep + loStep);
  }
  return true;
}

LsqStats ComputeLsqStats(const LsqInput& in) {
  LsqStats out;
  const int n = static_cast<int>(in.residuals.size());
  const int P = static_cast<int>(in.theta.size());
  out.n = n;
  for (double r : in.residuals) out.rss += r * r;
  double mean = 0;
  for (double y : in.observed) mean += y;
  if (!in.observed.empty()) mean /= static_cast<double>(in.observed.size());
  double sst = 0;
  for (double y : in.observed) sst += (y - mean) * (y - mean);

  out.state.assign(P, Estimability::Estimated);
  out.se.assign(P, std::nullopt);
  out.t.assign(P, std::nullopt);
  out.lo.assign(P, std::nullopt);
  out.hi.assign(P, std::nullopt);
  out.corr.assign(P, std::vector<std::optional<double>>(P, std::nullopt));
  if (in.jacobian.size() != static_cast<size_t>(n) * P) {
    out.state.assign(P, Estimability::Undetermined);
    return out;
  }

  // Parameters whose column is zero move nothing and are left out.
  std::vector<int> active;
  std::vector<double> norm(P, 0.0);
  for (int j = 0; j < P; ++j) {
    double s = 0;
    for (int i = 0; i < n; ++i) {
      const double v = in.jacobian[static_cast<size_t>(i) * P + j];
      s += v * v;
    }
    norm[j] = std::sqrt(s);
    if (norm[j] == 0 || !std::isfinite(norm[j])) {
      out.state[j] = Estimability::NoSlope;
    } else {
      active.push_back(j);
    }
  }
  const int p = static_cast<int>(active.size());
  out.p = p;
  out.dof = n - p;
  if (out.dof > 0) out.sigma = std::sqrt(out.rss / out.dof);
  // R² only with degrees of freedom left: a model that passes through every
  // observation says nothing by its R² of 1.
  if (sst > 0 && n - p > 0) {
    const double r2 = 1 - out.rss / sst;
    const double adjR2 = 1 - (out.rss / sst) * (n - 1) / static_cast<double>(n - p);
    if (std::isfinite(r2)) out.r2 = r2;
    if (std::isfinite(adjR2)) out.adjR2 = adjR2;
  }
  if (p == 0) return out;

  // The remaining columns scaled to unit length.
  Eigen::MatrixXd js(n, p);
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < p; ++k) {
      js(i, k) = in.jacobian[static_cast<size_t>(i) * P + active[k]] / norm[active[k]];
    }
  }
  Eigen::JacobiSVD<Eigen::MatrixXd> svd(js, Eigen::ComputeThinV);
  const Eigen::VectorXd sv = svd.singularValues();
  const double smax = sv.maxCoeff(), smin = sv.minCoeff();
  out.rcond = smax > 0 ? (smin / smax) * (smin / smax) : 0;
  if (n <= p || !(out.rcond >= kMinReciprocalCondition) || !out.sigma) {
    for (int j : active) out.state[j] = Estimability::Undetermined;
    return out;
  }
  out.determined = true;
  // (JsᵀJs)⁻¹ = V S⁻² Vᵀ, then back to the unscaled parameters.
  const Eigen::MatrixXd& V = svd.matrixV();
  Eigen::VectorXd inv2 = sv.array().square().inverse();
  Eigen::MatrixXd inv = V * inv2.asDiagonal() * V.transpose();
  const double s2 = *out.sigma * *out.sigma;
  out.cov.assign(P, std::vector<double>(P, 0.0));
  for (int a = 0; a < p; ++a) {
    for (int b = 0; b < p; ++b) {
      out.cov[active[a]][active[b]] = s2 * inv(a, b) / (norm[active[a]] * norm[active[b]]);
    }
  }
  out.tQuantile = StudentT975(out.dof);
  for (int j : active) {
    const double se = std::sqrt(out.cov[j][j]);
    out.se[j] = se;
    out.t[j] = in.theta[j] / se;
    out.lo[j] = in.theta[j] - *out.tQuantile * se;
    out.hi[j] = in.theta[j] + *out.tQuantile * se;
  }
  for (int a : active) {
    for (int b : active) {
      out.corr[a][b] = a == b ? 1.0 : out.cov[a][b] / (*out.se[a] * *out.se[b]);
    }
  }
  return out;
}

// ---- The models in double ------------------------------------------------------------

namespace {

constexpr double kRelStep = 1e-6;

bool Finite(double v) { return std::isfinite(v); }

bool CheckedExp(double arg, double& out) {
  if (!Finite(arg)) return false;
  out = std::exp(arg);
  return Finite(out);
}

// Where a model is evaluated: a laboratory cell (column, day) or a field day.
struct Point {
  int group = 1;
  double day = 0;  // laboratory: the incubation day; field: the row 1..D
};

struct FieldDay {
  bool hasTemp = false;
  std::optional<double> temp;
  int distinct = 0;  // index of the day's temperature text among the series' distinct ones
};

// The model arithmetic of the fit in double, without its rounding to single,
// for any parameter vector and any points, with the gradient of the
// calculated values (analytic for models 1-5, central differences in σ for
// model 6).
class Evaluator {
 public:
  Evaluator(const FitSession& s, int16_t model)
      : model_(model), field_(s.source == FitSource::Field), ts_(s.standardTemp) {
    tsK_ = s.standardTemp + static_cast<float>(kKelvinOffset);
    if (field_) {
      const FieldDayTable& t = s.fieldDays;
      std::unordered_map<std::string, int> distinct;
      days_.resize(t.dayCount + 1);
      for (int d = 1; d <= t.dayCount; ++d) {
        if (d < static_cast<int>(t.temperatureText.size()) && t.temperatureText[d]) {
          days_[d].hasTemp = true;
          days_[d].temp = ParseDouble(*t.temperatureText[d]);
          const auto [at, added] = distinct.emplace(*t.temperatureText[d], distinctCount_);
          if (added) ++distinctCount_;
          days_[d].distinct = at->second;
        }
      }
    } else {
      for (int c = 1; c <= 3; ++c) temps_[c] = ParseDouble(s.tempText[c]);
    }
    if (model == 6) {
      const std::vector<float>& p5 = s.params[5];
      for (int i = 0; i < 5; ++i) gauss_[i] = i < static_cast<int>(p5.size()) ? p5[i] : 0.0f;
    }
  }

  size_t ParamCount() const {
    return model_ == 6 ? 1 : static_cast<size_t>(FittedParamCount(model_));
  }

  // Calculated values and adjusted days at the points (field points in day
  // order), and when asked the gradient (points × parameters, row-major).
  bool Eval(const std::vector<double>& theta, const std::vector<Point>& pts,
            std::vector<double>& calc, std::vector<double>* adj, std::vector<double>* grad) const {
    calc.assign(pts.size(), 0.0);
    if (adj) adj->assign(pts.size(), 0.0);
    if (model_ == 6) {
      if (!Gauss(theta[0], pts, calc, adj)) return false;
      if (grad) {
        CalcFunction f = [&](const std::vector<double>& th, std::vector<double>& out) {
          return Gauss(th[0], pts, out, nullptr);
        };
        if (!CentralDifferenceJacobian(f, theta, pts.size(), kRelStep, *grad)) return false;
      }
      return true;
    }
    const size_t P = ParamCount();
    if (grad) grad->assign(pts.size() * P, 0.0);
    return field_ ? FieldEval(theta.data(), pts, calc, adj, grad)
                  : LabEval(theta.data(), pts, calc, adj, grad);
  }

 private:
  // The Arrhenius factor of the fit and its derivative in E.
  bool Factor(double E, const std::optional<double>& T, double& f, double* dfdE) const {
    if (!T || !ArrheniusFactorChecked(E, *T, ts_, f)) return false;
    if (dfdE) {
      double c = (*T - static_cast<double>(ts_)) / kGasConstant;
      c = c / (*T + kKelvinOffset);
      c = c / static_cast<double>(tsK_);
      *dfdE = f * c;
    }
    return true;
  }

  // The curve of models 1-5 from the adjusted times t1 (of p1) and t2 (of
  // the second energy: p2 for models 2 and 3, p5 for model 5) and their
  // derivatives in those energies.
  bool Curve(const double* p, double t1, double dt1, double t2, double dt2, double& calc,
             double* g) const {
    switch (model_) {
      case 1:
      case 4: {
        double e = 0;
        if (!CheckedExp(t1 * (p[1] * -1), e)) return false;
        calc = p[2] * (1 - e) + p[3];
        if (g) {
          g[0] = p[2] * e * p[1] * dt1;
          g[1] = p[2] * e * t1;
          g[2] = 1 - e;
          g[3] = 1;
        }
        break;
      }
      case 2:
      case 3: {
        double e1 = 0, e2 = 0;
        if (!CheckedExp(t1 * (p[2] * -1), e1) || !CheckedExp(t2 * (p[3] * -1), e2)) return false;
        const double sign = model_ == 2 ? 1 : -1;
        calc = model_ == 2 ? p[6] + ((1 - e2) * p[5] + (1 - e1) * p[4])
                           : p[6] + ((1 - e1) * p[4] - (1 - e2) * p[5]);
        if (g) {
          g[0] = p[4] * e1 * p[2] * dt1;
          g[1] = sign * p[5] * e2 * p[3] * dt2;
          g[2] = p[4] * e1 * t1;
          g[3] = sign * p[5] * e2 * t2;
          g[4] = 1 - e1;
          g[5] = sign * (1 - e2);
          g[6] = 1;
        }
        break;
      }
      case 5: {
        calc = 0;  // inside the lag: nothing moves with any parameter
        if (!(p[3] - t2 > 0)) {
          double e = 0;
          if (!CheckedExp((t1 - p[3]) * (p[1] * -1), e)) return false;
          calc = (1 - e) * p[2];
          if (g) {
            g[0] = p[2] * e * p[1] * dt1;
            g[1] = p[2] * e * (t1 - p[3]);
            g[2] = 1 - e;
            g[3] = -p[2] * e * p[1];
          }
        }
        break;
      }
      default:
        return false;
    }
    return Finite(calc);
  }

  // The energy of the second adjusted time.
  double SecondEnergy(const double* p) const { return model_ == 5 ? p[4] : p[1]; }
  bool HasSecondTime() const { return model_ == 2 || model_ == 3 || model_ == 5; }

  bool LabEval(const double* p, const std::vector<Point>& pts, std::vector<double>& calc,
               std::vector<double>* adj, std::vector<double>* grad) const {
    const size_t P = ParamCount();
    for (size_t i = 0; i < pts.size(); ++i) {
      const std::optional<double>& T = temps_[pts[i].group];
      const double day = pts[i].day;
      double f1 = 0, df1 = 0, f2 = 0, df2 = 0;
      if (!Factor(p[0], T, f1, &df1)) return false;
      if (HasSecondTime() && !Factor(SecondEnergy(p), T, f2, &df2)) return false;
      const double t1 = day * f1, t2 = day * f2;
      if (!Finite(t1) || !Finite(t2)) return false;
      if (!Curve(p, t1, day * df1, t2, day * df2, calc[i], grad ? grad->data() + i * P : nullptr))
        return false;
      if (adj) (*adj)[i] = model_ == 2 || model_ == 3 ? (t1 + t2) / 2 : t1;
    }
    return true;
  }

  // One walk over the days: running sums of the factors (and of their
  // derivatives) in double, the values at the points as they come.
  bool FieldEval(const double* p, const std::vector<Point>& pts, std::vector<double>& calc,
                 std::vector<double>* adj, std::vector<double>* grad) const {
    const size_t P = ParamCount();
    double t1 = 0, dt1 = 0, t2 = 0, dt2 = 0, a = 0;
    size_t next = 0;
    const int D = static_cast<int>(days_.size()) - 1;
    // A year of days holds far fewer distinct temperatures than days: the
    // factors of a temperature are worked out on its first day and reused,
    // the same numbers in the same order of summation.
    struct Factors {
      bool done = false;
      double f1 = 0, df1 = 0, f2 = 0, df2 = 0;
    };
    std::vector<Factors> known(static_cast<size_t>(distinctCount_));
    for (int d = 1; d <= D && next < pts.size(); ++d) {
      if (days_[d].hasTemp) {
        Factors& k = known[static_cast<size_t>(days_[d].distinct)];
        if (!k.done) {
          if (!Factor(p[0], days_[d].temp, k.f1, &k.df1)) return false;
          if (HasSecondTime() && !Factor(SecondEnergy(p), days_[d].temp, k.f2, &k.df2))
            return false;
          k.done = true;
        }
        const double f1 = k.f1, df1 = k.df1, f2 = k.f2, df2 = k.df2;
        t1 = t1 + f1;
        dt1 = dt1 + df1;
        if (HasSecondTime()) {
          t2 = t2 + f2;
          dt2 = dt2 + df2;
          a = a + (f1 + f2) / 2;
        }
        if (!Finite(t1) || !Finite(t2) || !Finite(a)) return false;
      }
      while (next < pts.size() && pts[next].day <= d) {
        if (!Curve(p, t1, dt1, t2, dt2, calc[next], grad ? grad->data() + next * P : nullptr))
          return false;
        if (adj) (*adj)[next] = model_ == 2 || model_ == 3 ? a : t1;
        ++next;
      }
    }
    return next == pts.size();
  }

  // Model 6: N = No(1 − exp(−k·tk)) with the model-5 values held.
  bool Gauss(double sigma, const std::vector<Point>& pts, std::vector<double>& calc,
             std::vector<double>* adj) const {
    calc.assign(pts.size(), 0.0);
    const double ea1 = gauss_[0], k = gauss_[1], no = gauss_[2], tau = gauss_[3], ea2 = gauss_[4];
    auto value = [&](double tk, double& out) {
      double e = 0;
      if (!CheckedExp(k * -1 * tk, e)) return false;
      out = (1 - e) * no;
      return Finite(out);
    };
    if (field_) {
      double t1 = 0, t2 = 0, tk = 0;
      size_t next = 0;
      const int D = static_cast<int>(days_.size()) - 1;
      for (int d = 1; d <= D && next < pts.size(); ++d) {
        if (days_[d].hasTemp) {
          double f1 = 0, f2 = 0, cdf = 0;
          if (!Factor(ea2, days_[d].temp, f2, nullptr)) return false;
          t2 = t2 + f2;
          if (!Factor(ea1, days_[d].temp, f1, nullptr)) return false;
          t1 = t1 + f1;
          const double z = sigma == 0 ? NAN : (t2 - tau) / sigma;
          if (!NormalCdfChecked(z, cdf)) return false;
          tk = tk + f1 * cdf;
          if (!Finite(tk) || !Finite(t1) || !Finite(t2)) return false;
        }
        while (next < pts.size() && pts[next].day <= d) {
          if (!value(tk, calc[next])) return false;
          if (adj) (*adj)[next] = t1;
          ++next;
        }
      }
      return next == pts.size();
    }
    // Laboratory: per column the terms i = 0 … D once, then prefix sums.
    for (int c = 1; c <= 3; ++c) {
      int need = -1;
      for (const Point& pt : pts) {
        if (pt.group != c) continue;
        if (!IsCountableDay(pt.day)) return false;
        need = std::max(need, static_cast<int>(RoundHalfEven(pt.day)));
      }
      bool any = false;
      for (const Point& pt : pts) any = any || pt.group == c;
      if (!any) continue;
      double f1 = 0, f2 = 0;
      if (!Factor(ea1, temps_[c], f1, nullptr) || !Factor(ea2, temps_[c], f2, nullptr))
        return false;
      std::vector<double> prefix(need + 1, 0.0);
      double sum = 0;
      for (int i = 0; i <= need; ++i) {
        double cdf = 0;
        const double z = sigma == 0 ? NAN : (i * f2 - tau) / sigma;
        if (!NormalCdfChecked(z, cdf)) return false;
        sum = sum + f1 * cdf;
        if (!Finite(sum)) return false;
        prefix[i] = sum;
      }
      for (size_t i = 0; i < pts.size(); ++i) {
        if (pts[i].group != c) continue;
        const int D = static_cast<int>(RoundHalfEven(pts[i].day));
        const double tk = D >= 0 ? prefix[D] : 0.0;
        if (!value(tk, calc[i])) return false;
        if (adj) (*adj)[i] = pts[i].day * f1;
      }
    }
    return true;
  }

  int16_t model_;
  bool field_;
  float ts_;
  float tsK_ = 0;
  std::array<std::optional<double>, 4> temps_;  // laboratory columns [1..3]
  std::vector<FieldDay> days_;                  // field rows [1..D]
  int distinctCount_ = 0;                       // distinct temperature texts of the rows
  std::array<double, 5> gauss_{};
};

// The observations of the session in the order the fit visits them.
bool Observations(const FitSession& s, std::vector<Point>& pts, std::vector<double>& y) {
  pts.clear();
  y.clear();
  if (s.source == FitSource::Field) {
    const FieldDayTable& t = s.fieldDays;
    for (int d = 1; d <= t.dayCount && d < static_cast<int>(t.observedText.size()); ++d) {
      if (!t.observedText[d]) continue;
      std::optional<double> v = ParseDouble(*t.observedText[d]);
      if (!v) return false;
      pts.push_back({1, static_cast<double>(d)});
      y.push_back(*v);
    }
    return true;
  }
  for (int c = 1; c <= 3; ++c) {
    for (int r = 1; r <= s.colRows[c] && r < static_cast<int>(s.observed[c].size()); ++r) {
      const std::string& text = s.observed[c][r];
      if (text.empty()) continue;
      std::optional<double> v = ParseDouble(text);
      if (!v || r >= static_cast<int>(s.dayList.size())) return false;
      pts.push_back({c, static_cast<double>(s.dayList[r])});
      y.push_back(*v);
    }
  }
  return true;
}

std::vector<double> StoredTheta(const FitSession& s, int16_t model) {
  const std::vector<float>& p = s.params[model];
  return std::vector<double>(p.begin(), p.end());
}

bool HasStoredParams(const FitSession& s, int16_t model) {
  if (model == 6) return s.params[6].size() == 1 && s.params[5].size() == 5;
  return static_cast<int>(s.params[model].size()) == FittedParamCount(model);
}

// Two decimals, whatever the locale ("-0.97"); a value too large for them
// in three significant digits ("-2.2e+61"), never cut short.
std::string Fixed2(double v) {
  return std::fabs(v) < 1e6 ? FormatFixed(v, 2) : FormatSignificant(v, 3);
}

}  // namespace

bool IsRateConstantSlot(int16_t model, size_t slot) {
  if (!IsValidModel(model) || model == 6) return false;
  const std::vector<std::string>& names = ParamNames(model);
  return slot < names.size() && names[slot].rfind("k", 0) == 0;
}

bool IsActivationEnergySlot(int16_t model, size_t slot) {
  if (!IsValidModel(model) || model == 6) return false;
  const std::vector<std::string>& names = ParamNames(model);
  return slot < names.size() && names[slot].rfind("Ea", 0) == 0;
}

bool ModelValuesAt(const FitSession& s, int16_t model, const std::vector<double>& theta,
                   std::vector<double>& calc, std::vector<double>* jacobian) {
  std::vector<Point> pts;
  std::vector<double> y;
  if (!IsValidModel(model) || !Observations(s, pts, y)) return false;
  Evaluator ev(s, model);
  if (theta.size() != ev.ParamCount()) return false;
  return ev.Eval(theta, pts, calc, nullptr, jacobian);
}

struct PreparedModel::Impl {
  Impl(const FitSession& s, int16_t m) : ev(s, m) {}
  Evaluator ev;
  std::vector<Point> pts;
  std::vector<double> y;
  bool ok = false;
};

PreparedModel::PreparedModel(const FitSession& s, int16_t model)
    : impl_(IsValidModel(model) ? std::make_unique<Impl>(s, model) : nullptr) {
  if (impl_) impl_->ok = Observations(s, impl_->pts, impl_->y);
}

PreparedModel::~PreparedModel() = default;

bool PreparedModel::Ok() const { return impl_ && impl_->ok; }

const std::vector<double>& PreparedModel::Observed() const {
  static const std::vector<double> kNone;
  return impl_ ? impl_->y : kNone;
}

bool PreparedModel::ValuesAt(const std::vector<double>& theta, std::vector<double>& calc,
                             std::vector<double>* jacobian) const {
  if (!Ok() || theta.size() != impl_->ev.ParamCount()) return false;
  return impl_->ev.Eval(theta, impl_->pts, calc, nullptr, jacobian);
}

bool ObservedValues(const FitSession& s, std::vector<double>& y) {
  std::vector<Point> pts;
  return Observations(s, pts, y);
}

FitStats ComputeFitStats(const FitSession& s) {
  FitStats out;
  out.standardTemp = s.standardTemp;
  if (s.source == FitSource::Field) {
    out.groups = 1;
    out.groupNames[1] = "ほ場";
  } else {
    out.groups = 3;
    for (int c = 1; c <= 3; ++c) out.groupNames[c] = s.tempText[c] + "℃";
  }
  std::vector<Point> pts;
  std::vector<double> y;
  const bool haveObs = Observations(s, pts, y) && !pts.empty();
  const std::vector<int16_t> models = MaterialModels(s.material);
  for (int16_t m : models) {
    if (!haveObs) {
      out.unavailable[m] = "分析値がありません";
      continue;
    }
    if (!HasStoredParams(s, m)) {
      out.unavailable[m] = "このモデルの計算は終わっていません";
      continue;
    }
    Evaluator ev(s, m);
    ModelStats st;
    st.model = m;
    st.conditional = m == 6;
    st.values = StoredTheta(s, m);
    if (m == 6) {
      st.names = {"σ"};
      st.units = {"day"};
    } else {
      st.names = ParamNames(m);
      st.names.resize(st.values.size());
      st.units = MaterialParamUnits(m);
      st.units.resize(st.values.size());
    }
    std::vector<double> calc, adj, jac;
    if (!ev.Eval(st.values, pts, calc, &adj, &jac)) {
      out.unavailable[m] = "パラメータの値で計算値が求められません";
      continue;
    }
    LsqInput in;
    in.theta = st.values;
    in.observed = y;
    in.residuals.resize(y.size());
    for (size_t i = 0; i < y.size(); ++i) in.residuals[i] = y[i] - calc[i];
    in.jacobian = std::move(jac);
    st.lsq = ComputeLsqStats(in);
    st.fitRss = s.rss[m];
    st.points.resize(pts.size());
    for (size_t i = 0; i < pts.size(); ++i) {
      st.points[i] = {pts[i].group, adj[i], y[i], calc[i], in.residuals[i]};
    }

    // Information criteria from the fit's own RSS and parameter count.
    const double n = s.obsCount;
    const int K = RecordParamCount(m);
    st.aicParams = K;
    st.aic = s.rss[m] > 0 ? n * std::log(static_cast<double>(s.rss[m])) + 2.0 * K
                          : static_cast<double>(s.aic[m]);
    if (n - K - 1 > 0) st.aicc = st.aic + 2.0 * K * (K + 1) / (n - K - 1);
    st.bic = st.aic - 2.0 * K + K * std::log(n);

    // Half-lives and Q10 at the standard temperature; none where the data
    // leave no degrees of freedom (the values are then whatever the search
    // started from).
    const size_t P = st.values.size();
    st.halfLife.assign(P, std::nullopt);
    st.q10.assign(P, std::nullopt);
    const double ts = s.standardTemp;
    const double q10Slope = 10.0 / (kGasConstant * (ts + 273) * (ts + 283));
    for (size_t j = 0; j < P && st.lsq.dof > 0; ++j) {
      const std::optional<double>& se = st.lsq.se[j];
      if (IsRateConstantSlot(m, j) && st.values[j] > 0) {
        DerivedValue h;
        h.value = std::log(2.0) / st.values[j];
        if (se) h.se = h.value / st.values[j] * *se;
        st.halfLife[j] = h;
      }
      if (IsActivationEnergySlot(m, j)) {
        DerivedValue q;
        q.value = std::exp(st.values[j] * q10Slope);
        if (se) q.se = q.value * q10Slope * *se;
        if (Finite(q.value)) st.q10[j] = q;
      }
    }

    // Warnings.
    std::vector<std::string> noSlope;
    for (size_t j = 0; j < P; ++j) {
      if (st.lsq.state[j] == Estimability::NoSlope) noSlope.push_back(st.names[j]);
    }
    if (!noSlope.empty()) {
      std::string list;
      for (const std::string& name : noSlope) list += (list.empty() ? "" : "、") + name;
      st.warnings.push_back(list + " は計算値を変えないため、推定不能です");
    }
    if (st.lsq.p > 0 && !st.lsq.determined) {
      st.warnings.push_back(
          "データで決められるよりパラメータが多いため、このモデルのパラメータはすべて推定不能です");
    }
    for (size_t a = 0; a < P; ++a) {
      for (size_t b = a + 1; b < P; ++b) {
        const std::optional<double>& r = st.lsq.corr[a][b];
        if (r && std::fabs(*r) > 0.95) {
          st.warnings.push_back(st.names[a] + " と " + st.names[b] +
                                " の相関が高く（r = " + Fixed2(*r) + "）、値が定まりません");
        }
      }
    }
    if (st.lsq.r2 && *st.lsq.r2 < 0) {
      st.warnings.push_back("当てはまりが水平な直線（分析値の平均）より悪くなっています（R² = " +
                            Fixed2(*st.lsq.r2) + "）");
    }
    out.models[m] = std::move(st);
  }

  // ΔAIC and Akaike weights over the models that have statistics.
  double best = std::numeric_limits<double>::infinity();
  for (int16_t m : models) {
    if (out.models[m]) best = std::min(best, out.models[m]->aic);
  }
  double total = 0;
  for (int16_t m : models) {
    if (!out.models[m]) continue;
    out.models[m]->deltaAic = out.models[m]->aic - best;
    total += std::exp(-out.models[m]->deltaAic / 2);
  }
  for (int16_t m : models) {
    if (out.models[m]) out.models[m]->akaikeWeight = std::exp(-out.models[m]->deltaAic / 2) / total;
  }
  return out;
}

std::vector<BandSeries> ConfidenceBand(const FitSession& s, const ModelStats& stats,
                                       int pointsPerGroup) {
  std::vector<BandSeries> out;
  if (stats.points.empty() || pointsPerGroup < 2) return out;
  Evaluator ev(s, stats.model);
  std::vector<Point> pts;
  if (s.source == FitSource::Field) {
    std::vector<Point> obs;
    std::vector<double> y;
    if (!Observations(s, obs, y) || obs.empty()) return out;
    const int last = static_cast<int>(obs.back().day);
    for (int d = 1; d <= last; ++d) pts.push_back({1, static_cast<double>(d)});
  } else {
    for (int c = 1; c <= 3; ++c) {
      double maxDay = 0;
      for (int r = 1; r <= s.colRows[c] && r < static_cast<int>(s.observed[c].size()); ++r) {
        if (!s.observed[c][r].empty() && r < static_cast<int>(s.dayList.size()))
          maxDay = std::max(maxDay, static_cast<double>(s.dayList[r]));
      }
      if (maxDay <= 0) continue;
      if (stats.model == 6) {
        // Its tk counts whole days: the curve is drawn at whole days.
        const int last = static_cast<int>(std::ceil(maxDay));
        const int step = std::max(1, last / pointsPerGroup);
        for (int d = 0; d <= last; d += step) pts.push_back({c, static_cast<double>(d)});
      } else {
        for (int i = 0; i < pointsPerGroup; ++i)
          pts.push_back({c, maxDay * i / (pointsPerGroup - 1)});
      }
    }
  }
  std::vector<double> calc, adj, grad;
  if (!ev.Eval(stats.values, pts, calc, &adj, &grad)) return out;
  const size_t P = stats.values.size();
  const bool band = stats.lsq.determined && stats.lsq.tQuantile && !stats.lsq.cov.empty();
  for (size_t i = 0; i < pts.size(); ++i) {
    if (out.empty() || out.back().group != pts[i].group)
      out.push_back({pts[i].group, {}, {}, {}, {}});
    BandSeries& b = out.back();
    b.x.push_back(adj[i]);
    b.fit.push_back(calc[i]);
    if (!band) continue;
    double var = 0;
    const double* g = grad.data() + i * P;
    for (size_t a = 0; a < P; ++a) {
      for (size_t c = 0; c < P; ++c) var += g[a] * stats.lsq.cov[a][c] * g[c];
    }
    const double half = *stats.lsq.tQuantile * std::sqrt(std::max(var, 0.0));
    b.lo.push_back(calc[i] - half);
    b.hi.push_back(calc[i] + half);
  }
  return out;
}

}  // namespace kelvora
