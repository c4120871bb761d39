// How a fit talks to whoever runs it: the desktop screens, the command-line
// tool and the tests each implement this.
#pragma once

#include <cstdint>
#include <string>

namespace kelvora {

struct FitSession;

class FitHost {
 public:
  virtual ~FitHost() = default;

  // The three lines of the progress window: line 1 the model prefix
  // ("単純型の"), line 2 the stage, line 3 "しばらくお待ち下さい".
  virtual void ShowProgress(const std::string& line1, const std::string& line2,
                            const std::string& line3) = 0;

  // Called after every sweep of a search (live sweep counter and best sum).
  virtual void SweepDone(int16_t /*model*/, int16_t /*sweep*/, float /*bestRss*/) {}

  // Checked between sweeps: true stops the fit as a cancel does.
  virtual bool CancelRequested() { return false; }

  enum class FailedFitAnswer {
    Recalculate,  // new values were written to params[model] and initialParams[model]
    Closed,       // the dialog was closed otherwise: run again from the same values
    Cancel,       // give up the whole fit
  };
  // A search of `model` (1-5) met an arithmetic error: ask for new initial
  // values or a cancel.
  virtual FailedFitAnswer ModelFailed(FitSession& session, int16_t model) = 0;
};

}  // namespace kelvora
