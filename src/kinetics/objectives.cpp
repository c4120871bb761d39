#include "kinetics/objectives.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "kinetics/curves.h"
#include "kinetics/parallel.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

// Rounds to single precision; false when the value does not fit the single
// range (an overflow of the fit).
bool ToSingle(double x, float& out) {
  if (!std::isfinite(x)) return false;
  out = RoundToSingle(x);
  return std::isfinite(out);
}

// The running residual sum in the precision of its destination.
class Accumulator {
 public:
  explicit Accumulator(Dest d) : dest_(d) {}
  bool Add(double term) {
    if (dest_ == Dest::Single) {
      double n = static_cast<double>(single_) + term;
      float f = 0;
      if (!ToSingle(n, f)) return false;
      single_ = f;
    } else {
      double n = double_ + term;
      if (!std::isfinite(n)) return false;
      double_ = n;
    }
    return true;
  }
  double Value() const { return dest_ == Dest::Single ? static_cast<double>(single_) : double_; }

 private:
  Dest dest_;
  float single_ = 0;
  double double_ = 0;
};

bool Finite(double v) { return std::isfinite(v); }

// exp(arg) as the fit needs it: false when the argument or the result is not
// finite (an overflow).
bool CheckedExp(double arg, double& out) {
  if (!Finite(arg)) return false;
  out = std::exp(arg);
  return Finite(out);
}

CellValue Double(double v) { return {v, false}; }
CellValue Single(float v) { return {static_cast<double>(v), true}; }

// ---------------------------------------------------------------------------
// Laboratory objectives: cells of the incubation table at constant
// temperatures, column by column, row by row.

struct LabCell {
  int16_t row;
  float day;
  std::optional<double> obs;  // nothing when the observed text is not a number
};

struct LabColumn {
  std::optional<double> temp;  // nothing when the temperature text is not a number
  std::vector<LabCell> cells;  // observed cells only, in row order
};

class LabObjective : public Objective {
 public:
  LabObjective(const FitSession& s, int16_t model) : Objective(model), ts_(s.standardTemp) {
    for (int c = 1; c <= 3; ++c) {
      LabColumn& col = cols_[c];
      col.temp = ParseDouble(s.tempText[c]);
      for (int r = 1; r <= s.colRows[c] && r < static_cast<int>(s.observed[c].size()); ++r) {
        const std::string& text = s.observed[c][r];
        if (text.empty()) continue;
        col.cells.push_back({static_cast<int16_t>(r), s.dayList[r], ParseDouble(text)});
      }
    }
    if (model == 6) {
      const std::vector<float>& p5 = s.params[5];
      for (int i = 0; i < 5; ++i) gauss_[i] = i < static_cast<int>(p5.size()) ? p5[i] : 0.0f;
      // The factors of Ea2 and Ea1 (in that order, as the first term needs
      // them) do not depend on sigma.
      for (int c = 1; c <= 3; ++c) {
        gaussOk_[c] = Factor(c, gauss_[4], gaussF2_[c]) && Factor(c, gauss_[0], gaussF1_[c]);
      }
    }
  }

  EvalResult Eval(const double* p, Dest dest, FitSession* tables) const override {
    if (model_ == 6) return GaussEval(p[0], dest, tables);
    Accumulator acc(dest);
    for (int c = 1; c <= 3; ++c) {
      bool ok = true;
      switch (model_) {
        case 1:
        case 4:
          ok = SimpleColumn(c, p, acc, tables);
          break;
        case 2:
        case 3:
          ok = ParallelColumn(c, p, acc, tables);
          break;
        case 5:
          ok = SigmoidColumn(c, p, acc, tables);
          break;
        default:
          ok = false;
      }
      if (!ok) return {acc.Value(), false};
    }
    return {acc.Value(), true};
  }

 private:
  bool Factor(int c, double E, double& f) const {
    const std::optional<double>& T = cols_[c].temp;
    return T && ArrheniusFactorChecked(E, *T, ts_, f);
  }

  // Residual of one cell, added to the sum.
  static bool AddResidual(const LabCell& cell, int c, double calc, Accumulator& acc,
                          FitSession* tables) {
    if (!cell.obs) return false;
    double diff = *cell.obs - calc;
    double sq = diff * diff;
    if (!Finite(sq)) return false;
    if (tables) tables->sqResidual[c][cell.row] = sq;
    return acc.Add(sq);
  }

  bool SimpleColumn(int c, const double* p, Accumulator& acc, FitSession* tables) const {
    for (const LabCell& cell : cols_[c].cells) {
      double f = 0;
      if (!Factor(c, p[0], f)) return false;
      double t = static_cast<double>(cell.day) * f;
      if (!Finite(t)) return false;
      if (tables) tables->adjTime[c][cell.row] = Double(t);
      double e = 0;
      if (!CheckedExp(t * (p[1] * -1), e)) return false;
      double calc = p[2] * (1 - e) + p[3];
      if (!Finite(calc)) return false;
      if (tables) tables->calc[c][cell.row] = Double(calc);
      if (!AddResidual(cell, c, calc, acc, tables)) return false;
    }
    return true;
  }

  bool ParallelColumn(int c, const double* p, Accumulator& acc, FitSession* tables) const {
    for (const LabCell& cell : cols_[c].cells) {
      double f1 = 0, f2 = 0;
      float t1 = 0, t2 = 0, t = 0;
      if (!Factor(c, p[0], f1) || !ToSingle(static_cast<double>(cell.day) * f1, t1)) return false;
      if (tables) tables->adjTime1[c][cell.row] = t1;
      if (!Factor(c, p[1], f2) || !ToSingle(static_cast<double>(cell.day) * f2, t2)) return false;
      if (tables) tables->adjTime2[c][cell.row] = t2;
      if (!ToSingle((static_cast<double>(t1) + static_cast<double>(t2)) / 2, t)) return false;
      if (tables) tables->adjTime[c][cell.row] = Single(t);
      double e1 = 0, e2 = 0;
      if (!CheckedExp(static_cast<double>(t1) * (p[2] * -1), e1)) return false;
      if (!CheckedExp(static_cast<double>(t2) * (p[3] * -1), e2)) return false;
      double calc = model_ == 2 ? p[6] + ((1 - e2) * p[5] + (1 - e1) * p[4])
                                : p[6] + ((1 - e1) * p[4] - (1 - e2) * p[5]);
      if (!Finite(calc)) return false;
      if (tables) tables->calc[c][cell.row] = Double(calc);
      if (!AddResidual(cell, c, calc, acc, tables)) return false;
    }
    return true;
  }

  bool SigmoidColumn(int c, const double* p, Accumulator& acc, FitSession* tables) const {
    for (const LabCell& cell : cols_[c].cells) {
      double f1 = 0, f5 = 0;
      if (!Factor(c, p[0], f1)) return false;
      double t = static_cast<double>(cell.day) * f1;
      if (!Finite(t)) return false;
      if (tables) tables->adjTime[c][cell.row] = Double(t);
      float t2 = 0;
      if (!Factor(c, p[4], f5) || !ToSingle(static_cast<double>(cell.day) * f5, t2)) return false;
      if (tables) tables->adjTime2[c][cell.row] = t2;
      double calc = 0;  // inside the lag the amount is the integer 0
      if (!(p[3] - static_cast<double>(t2) > 0)) {
        double e = 0;
        if (!CheckedExp((t - p[3]) * (p[1] * -1), e)) return false;
        calc = (1 - e) * p[2];
        if (!Finite(calc)) return false;
      }
      if (tables) tables->calc[c][cell.row] = Double(calc);
      if (!AddResidual(cell, c, calc, acc, tables)) return false;
    }
    return true;
  }

  // The terms i = 0 ... D of a cell are added in order from i = 0, so within a
  // column every cell's sum is a prefix of the sum of the column's longest
  // cell: each term is computed once per column. The terms do not depend on
  // each other, so they are computed first (on both cores when there are
  // many) and then added up cell by cell in the order of the sum.
  EvalResult GaussEval(double sigma, Dest dest, FitSession* tables) const {
    const double tau = gauss_[3];
    std::array<std::vector<double>, 4> terms;  // NaN marks a term that could not be computed
    for (int c = 1; c <= 3; ++c) {
      int need = -1;
      for (const LabCell& cell : cols_[c].cells) {
        // A cell beyond the count fails; later ones are not reached.
        if (!IsCountableDay(static_cast<double>(cell.day))) break;
        need = std::max(need, static_cast<int>(RoundHalfEven(static_cast<double>(cell.day))));
      }
      if (!gaussOk_[c]) need = -1;
      terms[c].assign(need + 1, 0.0);
    }
    auto compute = [&](int half) {
      for (int c = 1; c <= 3; ++c) {
        // Interleaved, since the costly terms (small |z|) lie close together.
        const int n = static_cast<int>(terms[c].size());
        for (int i = half; i < n; i += 2) {
          double cdf = 0;
          double z = sigma == 0 ? NAN : (i * gaussF2_[c] - tau) / sigma;
          terms[c][i] = NormalCdfChecked(z, cdf) ? gaussF1_[c] * cdf : NAN;
        }
      }
    };
    size_t total = terms[1].size() + terms[2].size() + terms[3].size();
    if (total >= kParallelTerms) {
      RunBoth([&] { compute(1); }, [&] { compute(0); });
    } else {
      compute(0);
      compute(1);
    }

    const double k = gauss_[1], no = gauss_[2];
    Accumulator acc(dest);
    for (int c = 1; c <= 3; ++c) {
      std::vector<double> prefix;  // prefix[i] = tk after the terms 0 ... i
      for (const LabCell& cell : cols_[c].cells) {
        if (!IsCountableDay(static_cast<double>(cell.day))) return {acc.Value(), false};
        const int last = static_cast<int>(RoundHalfEven(static_cast<double>(cell.day)));
        double tk = 0;
        if (last >= 0) {
          if (!gaussOk_[c]) return {acc.Value(), false};
          while (static_cast<int>(prefix.size()) <= last) {
            double term = terms[c][prefix.size()];
            double sum = (prefix.empty() ? 0.0 : prefix.back()) + term;
            if (!Finite(sum)) return {acc.Value(), false};
            prefix.push_back(sum);
          }
          tk = prefix[last];
        }
        double e = 0;
        if (!CheckedExp(k * -1 * tk, e)) return {acc.Value(), false};
        double calc = (1 - e) * no;
        if (!Finite(calc)) return {acc.Value(), false};
        if (tables) tables->calc[c][cell.row] = Double(calc);
        if (!AddResidual(cell, c, calc, acc, tables)) return {acc.Value(), false};
        // The adjusted time for the chart is computed after the residual.
        double fa = 0;
        if (!Factor(c, gauss_[0], fa)) return {acc.Value(), false};
        double t = static_cast<double>(cell.day) * fa;
        if (!Finite(t)) return {acc.Value(), false};
        if (tables) tables->adjTime[c][cell.row] = Double(t);
      }
    }
    return {acc.Value(), true};
  }

  // Below this many terms an evaluation is cheaper than handing half of it to
  // another thread.
  static constexpr size_t kParallelTerms = 48;

  float ts_;
  std::array<LabColumn, 4> cols_;
  std::array<float, 5> gauss_{};  // Ea1, k, No, TAU, Ea2 of the fitted SigmoidFert
  std::array<double, 4> gaussF1_{}, gaussF2_{};
  std::array<bool, 4> gaussOk_{};
};

// ---------------------------------------------------------------------------
// Field objectives: one walk over the daily soil temperatures, with running
// sums of the daily factors in double precision.

struct FieldDay {
  bool hasTemp = false;
  std::optional<double> temp;  // nothing when present but not a number
  bool hasObs = false;
  std::optional<double> obs;
};

class FieldObjective : public Objective {
 public:
  FieldObjective(const FitSession& s, int16_t model) : Objective(model), ts_(s.standardTemp) {
    const FieldDayTable& t = s.fieldDays;
    days_.resize(t.dayCount + 1);
    for (int d = 1; d <= t.dayCount; ++d) {
      FieldDay& day = days_[d];
      if (d < static_cast<int>(t.temperatureText.size()) && t.temperatureText[d]) {
        day.hasTemp = true;
        day.temp = ParseDouble(*t.temperatureText[d]);
      }
      if (d < static_cast<int>(t.observedText.size()) && t.observedText[d]) {
        day.hasObs = true;
        day.obs = ParseDouble(*t.observedText[d]);
      }
    }
    if (model == 6) PrepareGauss(s);
  }

  EvalResult Eval(const double* p, Dest dest, FitSession* tables) const override {
    Accumulator acc(dest);
    const int D = static_cast<int>(days_.size()) - 1;
    // The running sums of the daily factors depend on the activation energies
    // alone, which the search changes at two positions out of seven: they are
    // computed once per energy and reused.
    std::shared_ptr<const RunningSums> r1, r2;
    std::vector<double> gauss;
    int failDay = D + 1;
    switch (model_) {
      case 1:
      case 4:
        r1 = Running(p[0]);
        failDay = r1->failDay;
        break;
      case 2:
      case 3:
        r1 = Running(p[0]);
        r2 = Running(p[1]);
        failDay = std::min(r1->failDay, r2->failDay);
        break;
      case 5:
        r1 = Running(p[0]);
        r2 = Running(p[4]);
        failDay = std::min(r1->failDay, r2->failDay);
        break;
      case 6:
        gauss = GaussTerms(p[0]);
        failDay = gaussFailDay_;
        break;
      default:
        return {acc.Value(), false};
    }
    double a = 0, tk = 0;
    int sample = 0;
    for (int d = 1; d <= D; ++d) {
      const FieldDay& day = days_[d];
      if (day.hasTemp) {
        if (d >= failDay) return {acc.Value(), false};
        if (model_ == 2 || model_ == 3) {
          a = a + (r1->f[d] + r2->f[d]) / 2;
          if (!Finite(a)) return {acc.Value(), false};
        } else if (model_ == 6) {
          double g = gauss[d];  // NaN when the day's term could not be computed
          tk = tk + g;
          if (!Finite(g) || !Finite(tk)) return {acc.Value(), false};
        }
      }
      if (!day.hasObs) continue;
      ++sample;
      double calc = 0, adj = 0;
      switch (model_) {
        case 1:
        case 4: {
          const double t = r1->sum[d];
          double e = 0;
          if (!CheckedExp((p[1] * -1) * t, e)) return {acc.Value(), false};
          calc = p[2] * (1 - e) + p[3];
          adj = t;
          break;
        }
        case 2:
        case 3: {
          const double t1 = r1->sum[d], t2 = r2->sum[d];
          double e1 = 0, e2 = 0;
          if (!CheckedExp((p[2] * -1) * t1, e1) || !CheckedExp((p[3] * -1) * t2, e2))
            return {acc.Value(), false};
          calc = model_ == 2 ? p[4] * (1 - e1) + p[5] * (1 - e2) + p[6]
                             : p[4] * (1 - e1) - p[5] * (1 - e2) + p[6];
          adj = a;
          break;
        }
        case 5: {
          const double t1 = r1->sum[d], t2 = r2->sum[d];
          if (!(p[3] - t2 > 0)) {
            double e = 0;
            if (!CheckedExp((p[1] * -1) * (t1 - p[3]), e)) return {acc.Value(), false};
            calc = p[2] * (1 - e);
          }
          adj = t1;
          break;
        }
        case 6: {
          double e = 0;
          if (!CheckedExp((gauss_[1] * -1) * tk, e)) return {acc.Value(), false};
          calc = gauss_[2] * (1 - e);
          adj = gaussT1_[d];
          break;
        }
      }
      if (!Finite(calc)) return {acc.Value(), false};
      if (tables) {
        tables->adjTime[1][sample] = Double(adj);
        tables->calc[1][sample] = Double(calc);
      }
      if (!day.obs) return {acc.Value(), false};
      double diff = *day.obs - calc;
      double sq = diff * diff;
      if (!Finite(sq)) return {acc.Value(), false};
      if (tables) tables->sqResidual[1][sample] = sq;
      if (!acc.Add(sq)) return {acc.Value(), false};
    }
    return {acc.Value(), true};
  }

 private:
  bool Factor(const FieldDay& day, double E, double& f) const {
    return day.temp && ArrheniusFactorChecked(E, *day.temp, ts_, f);
  }

  // Daily factors of one activation energy and their running sums in day
  // order; failDay is the first day whose factor or sum could not be computed.
  struct RunningSums {
    std::vector<double> f, sum;
    int failDay = 0;
  };

  std::shared_ptr<const RunningSums> Running(double E) const {
    uint64_t key = 0;
    std::memcpy(&key, &E, sizeof key);
    std::lock_guard<std::mutex> lock(runningMutex_);
    auto it = running_.find(key);
    if (it != running_.end()) return it->second;
    auto r = std::make_shared<RunningSums>();
    const int D = static_cast<int>(days_.size()) - 1;
    r->f.assign(D + 1, 0.0);
    r->sum.assign(D + 1, 0.0);
    r->failDay = D + 1;
    double t = 0;
    for (int d = 1; d <= D; ++d) {
      if (days_[d].hasTemp && r->failDay > D) {
        double f = 0;
        if (!Factor(days_[d], E, f) || !Finite(t + f)) {
          r->failDay = d;
        } else {
          r->f[d] = f;
          t = t + f;
        }
      }
      r->sum[d] = t;
    }
    if (running_.size() >= 64) running_.clear();
    running_.emplace(key, r);
    return r;
  }

  // The daily terms f(Ea1) x NormalCdf((t2 - TAU) / sigma) of the Gaussian
  // model do not depend on each other: they are computed first, on both cores
  // when there are many, and added up in day order by the walk.
  std::vector<double> GaussTerms(double sigma) const {
    const int last = std::min(gaussFailDay_, static_cast<int>(days_.size())) - 1;
    std::vector<double> g(days_.size(), 0.0);
    auto compute = [&](int from, int to) {
      for (int d = from; d <= to; d += 2) {
        if (!days_[d].hasTemp) continue;
        double cdf = 0;
        double z = sigma == 0 ? NAN : (gaussT2_[d] - gauss_[3]) / sigma;
        g[d] = NormalCdfChecked(z, cdf) ? gaussF1_[d] * cdf : NAN;
      }
    };
    if (last >= 64) {
      RunBoth([&] { compute(2, last); }, [&] { compute(1, last); });  // interleaved days
    } else {
      compute(1, last);
      compute(2, last);
    }
    return g;
  }

  // The Gaussian model searches sigma alone; the daily factors of Ea1 and
  // Ea2 and their running sums do not depend on it and are computed once.
  void PrepareGauss(const FitSession& s) {
    const std::vector<float>& p5 = s.params[5];
    for (int i = 0; i < 5; ++i) gauss_[i] = i < static_cast<int>(p5.size()) ? p5[i] : 0.0f;
    const int D = static_cast<int>(days_.size()) - 1;
    gaussF1_.assign(D + 1, 0);
    gaussT1_.assign(D + 1, 0);
    gaussT2_.assign(D + 1, 0);
    gaussFailDay_ = D + 1;
    double t1 = 0, t2 = 0;
    for (int d = 1; d <= D; ++d) {
      const FieldDay& day = days_[d];
      if (day.hasTemp) {
        double f1 = 0, f2 = 0;
        if (!Factor(day, gauss_[4], f2)) {
          gaussFailDay_ = d;
          break;
        }
        t2 = t2 + f2;
        if (!Finite(t2) || !Factor(day, gauss_[0], f1)) {
          gaussFailDay_ = d;
          break;
        }
        t1 = t1 + f1;
        gaussF1_[d] = f1;
        // t1 is only needed for the chart; its overflow fails the day too.
        if (!Finite(t1)) {
          gaussFailDay_ = d;
          break;
        }
      }
      gaussT1_[d] = t1;
      gaussT2_[d] = t2;
    }
  }

  float ts_;
  std::vector<FieldDay> days_;  // [1..D]
  mutable std::mutex runningMutex_;
  mutable std::unordered_map<uint64_t, std::shared_ptr<const RunningSums>> running_;
  std::array<double, 5> gauss_{};
  std::vector<double> gaussF1_, gaussT1_, gaussT2_;
  int gaussFailDay_ = 0;
};

}  // namespace

std::unique_ptr<Objective> MakeObjective(const FitSession& session, int16_t model,
                                         FitSource source) {
  if (source == FitSource::Field) return std::make_unique<FieldObjective>(session, model);
  return std::make_unique<LabObjective>(session, model);
}

std::unique_ptr<Objective> MakeObjective(const FitSession& session, int16_t model) {
  return MakeObjective(session, model, session.source);
}

void EvalRss(FitSession& s, double& dest) {
  EvalResult r = MakeObjective(s, s.currentModel)->Eval(s.paramVec.data(), Dest::Double, &s);
  if (!r.ok) s.fitOk = false;
  dest = r.sum;
}

}  // namespace kelvora
