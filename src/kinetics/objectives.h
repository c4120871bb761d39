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

// Evaluates s.paramVec with the objective of s.currentModel for s.source
// into the destination, writing the per-cell tables and clearing fitOk on an
// error (1, 4 simple; 2, 3 parallel; 5 sigmoid; 6 Gauss).
void EvalRss(FitSession& s, double& dest);

}  // namespace kelvora
