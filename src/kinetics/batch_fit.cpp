#include "kinetics/batch_fit.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <thread>

#include "kinetics/lab_table.h"
#include "kinetics/model_kind.h"
#include "kinetics/parallel.h"
#include "store/grid_text.h"
#include "store/number_text.h"

namespace kelvora {
namespace {

constexpr int kLabRows = 100;
constexpr int kLabCols = 4;
constexpr int kFieldCols = 3;

const char* kStopped = "中止しました";

// The host of one record's fit: no questions (a failed model gives the record
// up, as kelvora-cli fit does), the stage and the sweep counter for the
// progress display, and "中止".
class BatchHost : public FitHost {
 public:
  BatchHost(BatchControl* control, int job) : control_(control), job_(job) {}

  void ShowProgress(const std::string& line1, const std::string& line2,
                    const std::string&) override {
    if (control_) control_->JobStage(job_, line1 + line2);
  }
  void SweepDone(int16_t model, int16_t sweep, float) override {
    if (control_) control_->JobSweep(job_, model, sweep);
  }
  bool CancelRequested() override { return control_ && control_->StopRequested(); }
  FailedFitAnswer ModelFailed(FitSession&, int16_t model) override {
    failedModel = model;
    return FailedFitAnswer::Cancel;
  }

  int16_t failedModel = 0;

 private:
  BatchControl* control_;
  int job_;
};

// The state of one RunBatchFit shared by its threads.
struct BatchRun {
  size_t count = 0;
  const BatchRequestFn* request = nullptr;
  const BatchResultFn* result = nullptr;
  BatchOptions options;
  BatchControl* control = nullptr;

  std::mutex mutex;
  std::condition_variable room;  // a record may start: one was handed over, or "中止"
  size_t next = 0;               // the next record to start
  size_t delivered = 0;          // records handed over (all before `delivered`)
  bool draining = false;         // a thread is handing results over
  std::map<size_t, BatchRecordResult> ready;  // done, waiting for those before them
  BatchTotals totals;

  std::mutex requestMutex;  // one request at a time

  bool Stopping() const { return control && control->StopRequested(); }
};

void Count(BatchTotals& t, BatchStatus status) {
  switch (status) {
    case BatchStatus::Fitted:
      ++t.fitted;
      break;
    case BatchStatus::Invalid:
      ++t.invalid;
      break;
    case BatchStatus::Failed:
      ++t.failed;
      break;
    case BatchStatus::Stopped:
      ++t.stopped;
      break;
  }
}

BatchRecordResult FitOne(BatchRun& run, int job, size_t index) {
  BatchRecordResult r;
  r.index = index;
  FitRequest request;
  {
    std::lock_guard<std::mutex> lock(run.requestMutex);
    request = (*run.request)(index);
  }
  r.name = request.name;
  if (run.control) run.control->JobStarted(job, index, r.name);
  if (run.Stopping()) {
    r.message = kStopped;
  } else {
    // The record computes on a turn of the program's processors.
    ProcessorTurn turn;
    if (std::optional<std::string> message = PrepareFit(r.session, request)) {
      r.status = BatchStatus::Invalid;
      r.message = *message;
    } else if (std::optional<std::string> impossible = ImpossibleTemperature(r.session)) {
      r.status = BatchStatus::Invalid;
      r.message = *impossible;
    } else if (std::optional<std::string> few = UndeterminedFitWarning(r.session)) {
      // Nothing a batch could store: no parameter set is determined.
      r.status = BatchStatus::Invalid;
      r.message = *few;
    } else {
      BatchHost host(run.control, job);
      r.run = RunFit(r.session, &host, request.initialValues);
      if (r.run.outcome == FitOutcome::Completed) {
        r.status = BatchStatus::Fitted;
        if (run.options.statistics) r.stats = ComputeFitStats(r.session);
        if (run.options.refinement) r.refined = RefineFit(r.session);
      } else if (host.failedModel != 0) {
        r.status = BatchStatus::Failed;
        r.failedModel = host.failedModel;
        r.message = ModelName(host.failedModel) + ": パラメータの解が求まりませんでした";
      } else {
        r.message = kStopped;
      }
    }
  }
  if (run.control) run.control->JobEnded(job);
  return r;
}

// Puts a finished record among the ready ones and hands over, in order,
// whatever has become due. One thread hands over at a time; a record
// finished meanwhile is picked up by that thread.
void Deliver(BatchRun& run, BatchRecordResult&& r) {
  std::unique_lock<std::mutex> lock(run.mutex);
  const size_t index = r.index;
  run.ready.emplace(index, std::move(r));
  if (run.draining) return;
  run.draining = true;
  while (!run.ready.empty() && run.ready.begin()->first == run.delivered) {
    BatchRecordResult due = std::move(run.ready.begin()->second);
    run.ready.erase(run.ready.begin());
    Count(run.totals, due.status);
    lock.unlock();
    (*run.result)(std::move(due));
    lock.lock();
    ++run.delivered;
    run.room.notify_all();
  }
  run.draining = false;
}

void Work(BatchRun& run, int job) {
  for (;;) {
    size_t index = 0;
    {
      std::unique_lock<std::mutex> lock(run.mutex);
      run.room.wait(lock, [&] {
        return run.Stopping() || run.next >= run.count ||
               run.next < run.delivered + run.options.lookahead;
      });
      if (run.Stopping() || run.next >= run.count) return;
      index = run.next++;
    }
    Deliver(run, FitOne(run, job, index));
  }
}

std::string TemperatureText(int row, int col, const std::string& text, const char* what) {
  std::string where = "表の" + std::to_string(row + 1) + "行";
  if (col >= 0) where += std::to_string(col + 1) + "列";
  return where + "目の" + what + "「" + text + "」が-273℃以下です。" + what +
         "に-273℃より高い温度を記入して下さい。";
}

// A stored table with more rows or columns than the grid it is fitted in: a
// fit of the part that fits would be no fit of the record (kelvora-cli fit
// refuses such a table with the same words). `maxRows` 0: the grid takes any
// number of rows (the fit itself refuses too many).
std::string BeyondGrid(const std::string& gridText, int maxRows, int cols) {
  const std::vector<std::vector<std::string>> rows = SplitGridText(gridText);
  for (const std::vector<std::string>& row : rows) {
    for (size_t c = static_cast<size_t>(cols); c < row.size(); ++c) {
      if (!row[c].empty()) return "表の列が多すぎます（" + std::to_string(cols) + "列まで）";
    }
  }
  for (size_t r = static_cast<size_t>(maxRows); maxRows > 0 && r < rows.size(); ++r) {
    for (const std::string& cell : rows[r]) {
      if (!cell.empty())
        return "表の行が多すぎます（見出しを含めて" + std::to_string(maxRows) + "行まで）";
    }
  }
  return std::string();
}

}  // namespace

FitRequest LabRecordRequest(const BaiyoRecord& record, const std::string& standardTemp) {
  FitRequest r;
  r.refusal = BeyondGrid(record.GridText, kLabRows, kLabCols);
  r.source = FitSource::Laboratory;
  r.table = GridTable(kLabRows, kLabCols);
  r.table.WriteBlock(record.GridText, 0, 0, kLabRows - 1, kLabCols - 1);
  r.name = record.SoilName;
  r.standardTemp = standardTemp;
  r.isFertilizer = record.IsFertilizer;
  return r;
}

FitRequest FieldRecordRequest(const HojyoRecord& record, const std::string& standardTemp) {
  FitRequest r;
  r.source = FitSource::Field;
  r.refusal = BeyondGrid(record.GridText, 0, kFieldCols);
  const int rows = std::max(GridTextRows(record.GridText), 2);
  r.table = GridTable(rows, kFieldCols);
  r.table.WriteBlock(record.GridText, 0, 0, rows - 1, kFieldCols - 1);
  r.name = record.SoilName;
  r.standardTemp = standardTemp;
  r.isFertilizer = record.IsFertilizer;
  return r;
}

std::optional<std::string> ImpossibleTemperature(const FitSession& s) {
  if (s.source == FitSource::Laboratory) {
    for (int c = 1; c <= 3; ++c) {
      std::optional<float> t = ParseSingle(s.tempText[c]);
      if (t && !IsPossibleTemperature(*t)) return TemperatureText(0, c, s.tempText[c], "培養温度");
    }
    return std::nullopt;
  }
  const auto& temps = s.fieldDays.temperatureText;
  for (size_t d = 1; d < temps.size(); ++d) {
    if (!temps[d]) continue;
    std::optional<float> t = ParseSingle(*temps[d]);
    if (t && !IsPossibleTemperature(*t)) {
      return TemperatureText(static_cast<int>(d), -1, *temps[d], "地温");
    }
  }
  return std::nullopt;
}

// ---- BatchControl ------------------------------------------------------------

void BatchControl::Begin(size_t total, int jobs) {
  std::lock_guard<std::mutex> lock(mutex_);
  total_.store(total);
  done_.store(0);
  slots_.clear();
  for (int j = 0; j < jobs; ++j) slots_.push_back(std::make_unique<Slot>());
  names_.assign(jobs, std::string());
  stages_.assign(jobs, std::string());
}

void BatchControl::JobStarted(int job, size_t index, const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  Slot& slot = *slots_[job];
  names_[job] = name;
  stages_[job].clear();
  slot.index.store(index);
  slot.model.store(0);
  slot.sweep.store(0);
  slot.busy.store(true);
}

void BatchControl::JobStage(int job, const std::string& stage) {
  std::lock_guard<std::mutex> lock(mutex_);
  stages_[job] = stage;
  slots_[job]->sweep.store(0);
}

void BatchControl::JobSweep(int job, int16_t model, int16_t sweep) {
  // Every sweep: atomics only (the slots are not resized while a batch runs).
  Slot& slot = *slots_[job];
  slot.model.store(model, std::memory_order_relaxed);
  slot.sweep.store(sweep, std::memory_order_relaxed);
}

void BatchControl::JobEnded(int job) {
  std::lock_guard<std::mutex> lock(mutex_);
  slots_[job]->busy.store(false);
  done_.fetch_add(1);
}

BatchControl::Progress BatchControl::Snapshot() const {
  Progress p;
  std::lock_guard<std::mutex> lock(mutex_);
  p.done = done_.load();
  p.total = total_.load();
  for (size_t j = 0; j < slots_.size(); ++j) {
    const Slot& slot = *slots_[j];
    if (!slot.busy.load()) continue;
    p.running.push_back({slot.index.load(), names_[j], stages_[j],
                         slot.model.load(std::memory_order_relaxed),
                         slot.sweep.load(std::memory_order_relaxed)});
  }
  std::sort(p.running.begin(), p.running.end(),
            [](const Running& a, const Running& b) { return a.index < b.index; });
  return p;
}

// ---- RunBatchFit -----------------------------------------------------------------

int BatchJobs(int requested, size_t count) {
  const int processors = SharedProcessors().Processors();
  int jobs = requested > 0 ? std::min(requested, processors) : processors;
  if (count < static_cast<size_t>(jobs)) jobs = static_cast<int>(count);
  return std::max(jobs, 1);
}

BatchTotals RunBatchFit(size_t count, const BatchRequestFn& request, const BatchResultFn& result,
                        const BatchOptions& options, BatchControl* control) {
  BatchRun run;
  run.count = count;
  run.request = &request;
  run.result = &result;
  run.options = options;
  run.options.lookahead = std::max<size_t>(options.lookahead, 1);
  run.control = control;
  const int jobs = BatchJobs(options.jobs, count);
  if (control) control->Begin(count, jobs);
  std::vector<std::thread> helpers;
  for (int j = 1; j < jobs; ++j) helpers.emplace_back([&run, j] { Work(run, j); });
  Work(run, 0);
  for (std::thread& t : helpers) t.join();
  run.totals.jobs = jobs;
  return run.totals;
}

// ---- What a batch keeps -----------------------------------------------------------

const BatchModelRow* BatchRow::Model(int16_t model) const {
  for (const BatchModelRow& m : models) {
    if (m.model == model) return &m;
  }
  return nullptr;
}

BatchRow KeepBatchRow(const BatchRecordResult& r, int16_t record, bool keepFitted) {
  BatchRow row;
  row.index = r.index;
  row.record = record;
  row.name = r.name;
  row.status = r.status;
  row.message = r.message;
  row.material = r.session.material;
  if (!r.ok()) return row;
  const FitSession& s = r.session;
  row.best = s.bestModel;
  row.bestRecord = r.run.record;
  for (int16_t m : MaterialModels(s.material)) {
    BatchModelRow mr;
    mr.model = m;
    mr.values = RecordParams(s, m);
    mr.rss = s.rss[m];
    mr.aic = s.aic[m];
    if (const std::optional<ModelStats>& st = r.stats.models[m]) {
      mr.aicc = st->aicc;
      mr.r2 = st->lsq.r2;
      mr.akaikeWeight = st->akaikeWeight;
      mr.warnings = st->warnings;
    }
    row.models.push_back(std::move(mr));
  }
  if (keepFitted) {
    FittedValues f;
    f.params = s.params;
    f.initialParams = s.initialParams;
    f.aic = s.aic;
    f.rss = s.rss;
    f.sweeps = s.sweeps;
    f.bestModel = s.bestModel;
    row.fitted = std::move(f);
  }
  return row;
}

ParaRecord BatchStoredRecord(const BatchRow& row, int16_t model) {
  ParaRecord rec = row.bestRecord;
  const BatchModelRow* m = row.Model(model);
  if (model == row.best || !m) return rec;
  StoreValuesInRecord(rec, model, m->values, m->aic, m->rss);
  return rec;
}

std::optional<FitSession> RestoreBatchSession(FitRequest request, const FittedValues& f) {
  FitSession s;
  if (PrepareFit(s, request)) return std::nullopt;
  s.params = f.params;
  s.initialParams = f.initialParams;
  s.aic = f.aic;
  s.rss = f.rss;
  s.sweeps = f.sweeps;
  // What the fitting sequence leaves besides the values: the counts of a
  // laboratory table and the last model's search.
  if (s.source == FitSource::Laboratory) {
    s.chartRows = static_cast<int16_t>(s.colRows[1] + s.colRows[2] + s.colRows[3]);
    s.obsCount = static_cast<int16_t>(s.colObsCount[1] + s.colObsCount[2] + s.colObsCount[3]);
  }
  const int16_t last = MaterialModels(s.material).back();
  s.bestRss = f.rss[last];
  s.iterCount = f.sweeps[last];
  s.paramCount = static_cast<int16_t>(last == 6 ? 1 : FittedParamCount(last));
  ChooseBestModel(s);
  EvaluateForChart(s, s.bestModel);
  return s;
}

}  // namespace kelvora
