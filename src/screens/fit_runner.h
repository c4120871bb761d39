// Runs a fit from the screens: the checks and their messages, the progress
// window, the fit itself on a worker thread with its own copy of the session
// (the windows keep painting while nothing else can be used), the failed-fit
// dialog in the middle of it, the finished session handed back in one step,
// and the screens closed and opened at its end.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>

#include "kinetics/fit_driver.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/fit_worker.h"
#include "store/records.h"

namespace kelvora {

class Baiyo_Form0_3;

class MDIForm1;
class SaiKeisan_Form;

class FitRunner : public QObject {
  Q_OBJECT

 public:
  explicit FitRunner(MDIForm1& host);

  // "⑦ パラメータ算出" on the incubation screen, after its clean-up. Returns
  // when the fit has ended (results screen open), a check failed (message
  // shown) or the fit was given up.
  FitOutcome StartLabFit(Baiyo_Form0_3& screen, const FitRequest& request);
  // The same for any data screen (the request names the source).
  FitOutcome StartFit(QWidget* screen, const FitRequest& request);

  // "再計算" on the results screen: the sequence again from the values in
  // the session's params, without the initial-value search.
  FitOutcome Refit(QWidget* owner);

  // The ParaRecord the last completed fit appended: its position and what it
  // held. Position 0 when the table was full.
  int16_t RecordIndex() const { return recordIndex_; }
  const ParaRecord& Record() const { return record_; }
  // After the results screen stored another model of the fit.
  void RecordRewritten(int16_t index, const ParaRecord& record) {
    recordIndex_ = index;
    record_ = record;
  }

  // The objective evaluations of the last fit that ran (the same count the
  // command-line tool and the benchmarks report for the same table).
  const EvalCounts& LastCounts() const { return lastCounts_; }

  bool Running() const { return running_; }
  // The progress window of the running fit (tests press its "中止").
  SaiKeisan_Form* Progress() const;

  // How often at most the sweep counter of the progress window is renewed.
  static constexpr int kProgressIntervalMs = 50;

 private:
  FitOutcome Run(QWidget* owner, FitSession work, const InitialValues& given);
  void AskFailedFit(const FitWorker::FailedFit& question);
  void Completed(const ParaRecord& record);

  MDIForm1& host_;
  QPointer<SaiKeisan_Form> progress_;
  FitWorker* worker_ = nullptr;  // while a fit runs
  bool running_ = false;
  int16_t recordIndex_ = 0;
  ParaRecord record_;
  EvalCounts lastCounts_;
};

}  // namespace kelvora
