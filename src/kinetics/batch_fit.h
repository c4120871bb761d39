// Fitting many stored records at once, side by side on the processors the
// program may use: the one batch the command-line tool (fit-all), the
// screens ("一括計算"), the tests and the benchmarks run. Every record is
// fitted through the fit path of a single fit (PrepareFit, RunFit), so that
// its result is the one "⑦ パラメータ算出" / "⑩ パラメータ算出" or
// kelvora-cli fit gives for the same table, to the last bit, whatever the
// number of jobs. Results are handed over in record order as soon as a
// record and all before it are done. No Qt.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kinetics/fit_driver.h"
#include "kinetics/fit_refine.h"
#include "kinetics/fit_sequence.h"
#include "kinetics/fit_session.h"
#include "kinetics/fit_stats.h"
#include "store/records.h"

namespace kelvora {

// The standard temperature a batch fits with unless told otherwise (the
// data screens' default).
inline constexpr const char* kBatchStandardTemp = "25";

// The fit request of a stored record as the data screens fit it: the table as
// the screen shows it (laboratory: 100 rows × 4 columns; field: one row per
// line of the grid text, at least 2, and 3 columns), the stored name and
// material, the given standard temperature and the screen's initial values.
FitRequest LabRecordRequest(const BaiyoRecord& record, const std::string& standardTemp);
FitRequest FieldRecordRequest(const HojyoRecord& record, const std::string& standardTemp);

// A temperature at or below -273 ℃ among the captured data of a prepared fit
// (the incubation temperatures of a laboratory table, the daily soil
// temperatures of a field table): the message kelvora-cli fit gives for it.
std::optional<std::string> ImpossibleTemperature(const FitSession& s);

// How one record of a batch ended.
enum class BatchStatus {
  Fitted,   // every model fitted, the best one chosen
  Invalid,  // the table or the standard temperature did not pass the checks
  Failed,   // a model's search met an arithmetic error (the failed-fit question)
  Stopped,  // "中止" ended it (or it was never started)
};

struct BatchRecordResult {
  size_t index = 0;  // position in the batch, from 0
  std::string name;  // the request's name
  BatchStatus status = BatchStatus::Stopped;
  std::string message;      // why it is not fitted (empty when fitted)
  int16_t failedModel = 0;  // Failed: the model whose search failed
  FitRun run;               // Fitted: run.record is the best model's record
  FitSession session;       // the record's session after the fit (after the checks passed)
  FitStats stats;           // Fitted, with BatchOptions::statistics
  FitRefinement refined;    // Fitted, with BatchOptions::refinement
  bool ok() const { return status == BatchStatus::Fitted; }
};

struct BatchOptions {
  // Records fitted side by side: 0 for every processor the program may use;
  // never more than that, nor more than there are records.
  int jobs = 0;
  // After each fit: its statistics and its least-squares check.
  bool statistics = true;
  bool refinement = true;
  // Records that may be done ahead of the first one not yet handed over (the
  // results waiting for it are held): bounds what a batch holds whatever its
  // length, when one record takes much longer than those after it.
  size_t lookahead = 256;
};

// Shared between a running batch and whoever watches or stops it; any thread.
class BatchControl {
 public:
  struct Running {
    size_t index = 0;
    std::string name;
    std::string stage;  // the progress texts: "単純並行型の" + "パラメータを計算しています"
    int16_t model = 0;  // the model of the search under way, 0 before the first sweep
    int16_t sweep = 0;  // sweeps of that search
  };
  struct Progress {
    size_t done = 0;  // records whose fit has ended
    size_t total = 0;
    std::vector<Running> running;  // in record order
  };

  // "中止": running fits end at their next sweep, no record starts any more.
  void Stop() { stop_.store(true); }
  bool StopRequested() const { return stop_.load(); }
  Progress Snapshot() const;

  // For RunBatchFit.
  void Begin(size_t total, int jobs);
  void JobStarted(int job, size_t index, const std::string& name);
  void JobStage(int job, const std::string& stage);
  void JobSweep(int job, int16_t model, int16_t sweep);
  void JobEnded(int job);

 private:
  struct Slot {
    std::atomic<bool> busy{false};
    std::atomic<size_t> index{0};
    std::atomic<int16_t> model{0};
    std::atomic<int16_t> sweep{0};
  };
  std::atomic<bool> stop_{false};
  std::atomic<size_t> done_{0};
  std::atomic<size_t> total_{0};
  mutable std::mutex mutex_;         // guards the texts and the size of slots_
  std::vector<std::string> names_;   // per job
  std::vector<std::string> stages_;  // per job
  std::vector<std::unique_ptr<Slot>> slots_;
};

// The record i of a batch (called on the batch's threads, one call at a time).
using BatchRequestFn = std::function<FitRequest(size_t index)>;
// A record's result, in record order, one call at a time, on one of the
// batch's threads.
using BatchResultFn = std::function<void(BatchRecordResult&& result)>;

struct BatchTotals {
  size_t fitted = 0, invalid = 0, failed = 0, stopped = 0;
  int jobs = 0;  // records fitted side by side
};

// Fits records 0 … count − 1 with `options.jobs` threads (the calling thread
// is one of them) and returns when every record has been handed over (after
// "中止": the finished ones and the one each running job stopped; records
// never started are not handed over). Each record's fit takes a turn of the
// program's processors (SharedProcessors) while it computes.
BatchTotals RunBatchFit(size_t count, const BatchRequestFn& request, const BatchResultFn& result,
                        const BatchOptions& options = {}, BatchControl* control = nullptr);

// The jobs RunBatchFit uses for `count` records.
int BatchJobs(int requested, size_t count);

// ---- What a batch keeps of a record ---------------------------------------

// One model of a record as the summary and the exports show it.
struct BatchModelRow {
  int16_t model = 0;
  std::vector<float> values;  // the record slots (ParaRecord order; model 6: five of model 5 and σ)
  float rss = 0;
  float aic = 0;
  std::optional<double> aicc, r2;
  std::optional<double> akaikeWeight;
  std::vector<std::string> warnings;
};

// What a completed fit leaves in the session beyond its input: enough to
// show the record's results screen again without fitting it again.
struct FittedValues {
  std::array<std::vector<float>, 7> params, initialParams;
  std::array<float, 7> aic{}, rss{};
  std::array<int16_t, 7> sweeps{};
  int16_t bestModel = 0;
};

// A record of a batch as it is kept once its session is gone.
struct BatchRow {
  size_t index = 0;
  int16_t record = 0;  // the record's number in its table (1-based)
  std::string name;
  BatchStatus status = BatchStatus::Stopped;
  std::string message;
  MaterialKind material = MaterialKind::Soil;
  int16_t best = 0;
  std::vector<BatchModelRow> models;   // Fitted: the three models of the material, in order
  ParaRecord bestRecord;               // Fitted: the record the fit stores
  std::optional<FittedValues> fitted;  // kept on request (KeepBatchRow)
  bool ok() const { return status == BatchStatus::Fitted; }
  const BatchModelRow* Model(int16_t model) const;
};

// The row of a result; `keepFitted` keeps the fitted values as well.
BatchRow KeepBatchRow(const BatchRecordResult& result, int16_t record, bool keepFitted);

// The parameter set "選択した結果を保存" (and --store) appends for `model` of a
// fitted row, as the results screen stores it: the best model's record, and
// for another model that model's number, slots, AIC and RSS written over it
// (the slots beyond its parameters keep the best model's values).
ParaRecord BatchStoredRecord(const BatchRow& row, int16_t model);

// The session of a fitted row as its fit left it, for the results screen:
// `request` (the same record and standard temperature) is prepared again and
// the fitted values put back, with the best model evaluated for the chart.
// Nothing when the request no longer passes the checks.
std::optional<FitSession> RestoreBatchSession(FitRequest request, const FittedValues& fitted);

}  // namespace kelvora
