// Residual sums of squares of the models over the observations of a fit.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kinetics/fit_session.h"

namespace kelvora {

// Precision of the destination a sum is accumulated in: every addition is
// rounded to it.
enum class Dest { Single, Double };

struct EvalResult {
  double sum = 0;  // the sum (a single's value for Dest::Single); the partial sum on error
  bool ok = true;  // false when an arithmetic or conversion error ended the evaluation
};

// One model's objective over the data of a session, as a pure function of the
// parameter vector. It reads the session's data when constructed (and, for the
// Gaussian model, the fitted SigmoidFert values) and writes nothing unless a
// session is passed to Eval to receive the per-cell tables. Eval may be called
// from several threads at once when no tables are written.
class Objective {
 public:
  virtual ~Objective() = default;
  virtual EvalResult Eval(const double* p, Dest dest, FitSession* tables) const = 0;
  int16_t model() const { return model_; }

 protected:
  explicit Objective(int16_t model) : model_(model) {}
  int16_t model_;
};

// The objective of `model` for the session's source (laboratory or field),
// or for the source named.
std::unique_ptr<Objective> MakeObjective(const FitSession& session, int16_t model);
std::unique_ptr<Objective> MakeObjective(const FitSession& session, int16_t model,
                                         FitSource source);

// Evaluate session.paramVec with the objective of the named function into a
// single or double destination, writing the per-cell tables and clearing
// fitOk on error, as the fitting screens and the sequence call them.
void RssSimple(FitSession& s, float& dest);
void RssSimple(FitSession& s, double& dest);
void RssParallel(FitSession& s, float& dest);  // model from s.currentModel (2 or 3)
void RssParallel(FitSession& s, double& dest);
void RssSigmoid(FitSession& s, float& dest);
void RssSigmoid(FitSession& s, double& dest);
void RssGauss(FitSession& s, float& dest);
void RssGauss(FitSession& s, double& dest);

void FieldRssSimple(FitSession& s, float& dest);
void FieldRssSimple(FitSession& s, double& dest);
void FieldRssParallel(FitSession& s, float& dest);
void FieldRssParallel(FitSession& s, double& dest);
void FieldRssSigmoid(FitSession& s, float& dest);
void FieldRssSigmoid(FitSession& s, double& dest);
void FieldRssGauss(FitSession& s, float& dest);
void FieldRssGauss(FitSession& s, double& dest);

// Dispatch on s.currentModel (1, 4 simple; 2, 3 parallel; 5 sigmoid; 6 Gauss)
// and on s.source (laboratory or field objectives).
void EvalRss(FitSession& s, float& dest);
void EvalRss(FitSession& s, double& dest);

}  // namespace kelvora
