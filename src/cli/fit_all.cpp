#include "cli/fit_all.h"

#include <chrono>
#include <condition_variable>
#include <locale>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/fit_json.h"
#include "cli/input_checks.h"
#include "cli/json.h"
#include "cli/report.h"
#include "kinetics/batch_export.h"
#include "kinetics/batch_fit.h"
#include "store/data_files.h"
#include "store/export_target.h"
#include "store/folder_lock.h"
#include "store/hensuu.h"
#include "store/parameter_export.h"

namespace kelvora {

const char* const kFitAllHelp =
    "使い方: kelvora-cli fit-all DIR [--records LIST] [--field] [--std-temp TS] [--jobs N]\n"
    "                            [--store] [--out FILE.xlsx|FILE.csv]\n"
    "\n"
    "データフォルダ DIR の培養結果（BaiyoData.txt）の記録を、画面の「⑦ パラメータ算出」と\n"
    "同じように（初期値は画面の既定）まとめて算出します。各記録の材料（土壌・被覆肥料）は\n"
    "記録のとおりです。結果は kelvora-cli fit で同じ表を算出したときと同じです。\n"
    "  --records LIST 記録の番号（例: 1-7、2,4,9、1-3,8）。省略するとすべての記録。\n"
    "  --field        ほ場埋設の記録（Hojyo.txt）を「⑩ パラメータ算出」と同じように算出\n"
    "  --std-temp TS  標準温度（℃）。省略すると 25\n"
    "  --jobs N       同時に算出する記録の数。省略するとこのプログラムが使えるプロセッサの数。\n"
    "                 プロセッサの数より多くは使いません。\n"
    "  --store        算出できた記録ごとに、最適なモデルのパラメータを結果の画面と同じように\n"
    "                 ParaData.txt に追加します（記録の順に、最後に1回だけ保存。元のファイルは\n"
    "                 ParaData.bak に残します）。ケルボラ１がこのフォルダを使用中のときは\n"
    "                 計算せずに終了コード 2 で終わります。\n"
    "  --out FILE     記録とモデルごとに1行（パラメータ、残差平方和、AIC、AICc、R²、\n"
    "                 Akaikeの重み、最適なモデルの印）の表を Excel（.xlsx）か CSV "
    "に書き出します。\n"
    "\n"
    "標準出力には記録ごとに1行の JSON を、記録の順に、その記録とそれより前の記録が\n"
    "終わりしだい出力します:\n"
    "  {\"record\": 番号, \"name\": 名前, \"ok\": true|false, \"message\": 算出できなかった理由,\n"
    "   \"best\": 最適なモデルの番号（算出できなかったときは null）, \"models\": [...]}\n"
    "\"models\" は kelvora-cli fit の \"models\" と同じです（統計と精密化を含む）。\n"
    "表に誤りがある記録や、モデルの解が求まらない記録（画面ではパラメータ再計算の画面が\n"
    "出るもの）は \"ok\": false とし、残りの記録の算出を続けます。\n"
    "標準エラー出力が端末のときは、進み具合（済んだ数/全体、計算中の記録、経過時間）を\n"
    "1行で表示します。\n"
    "\n"
    "終了コード: 0 すべての記録を算出できた、1 算出できなかった記録がある、\n"
    "2 フォルダ・記録の番号・標準温度の誤り、フォルダが使用中（--store）、保存や書き出しの失敗。\n";

namespace {

// A record's line: {"record", "name", "ok", "message", "best", "models"}.
std::string RecordJson(const BatchRecordResult& r, int16_t record) {
  std::ostringstream json;
  json.imbue(std::locale::classic());
  json << "{\"record\": " << record << ", \"name\": " << JsonString(r.name)
       << ", \"ok\": " << JsonBool(r.ok()) << ", \"message\": " << JsonString(r.message)
       << ", \"best\": " << (r.ok() ? std::to_string(r.session.bestModel) : std::string("null"))
       << ", \"models\": ";
  if (r.status == BatchStatus::Fitted || r.status == BatchStatus::Failed) {
    json << FitModelsJson(r.session, r.ok(), r.failedModel, r.stats, r.refined);
  } else {
    json << "[]";
  }
  json << "}\n";
  return json.str();
}

std::string Elapsed(std::chrono::steady_clock::duration d) {
  const long long s = std::chrono::duration_cast<std::chrono::seconds>(d).count();
  std::ostringstream out;
  out << s / 60 << ":" << (s % 60 < 10 ? "0" : "") << s % 60;
  return out.str();
}

// The progress line: done / total, the records being fitted (at most two by
// name) and the elapsed time, redrawn a few times a second by a thread of
// its own that otherwise sleeps.
class BatchProgressLine {
 public:
  BatchProgressLine(std::ostream& err, bool enabled, const BatchControl& control)
      : line_(err, enabled), control_(control), start_(std::chrono::steady_clock::now()) {
    if (enabled) thread_ = std::thread([this] { Loop(); });
  }
  ~BatchProgressLine() { Finish(); }

  void Finish() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    line_.Clear();
  }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      const BatchControl::Progress p = control_.Snapshot();
      if (p.total == 0) {  // not begun yet
        wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; });
        continue;
      }
      std::string text = "一括計算 " + std::to_string(p.done) + " / " + std::to_string(p.total);
      for (size_t i = 0; i < p.running.size() && i < 2; ++i) {
        text += (i == 0 ? "  " : "、") + ShortText(p.running[i].name, 12);
        if (p.running[i].sweep > 0) text += "（反復 " + std::to_string(p.running[i].sweep) + "）";
      }
      if (p.running.size() > 2) text += " ほか" + std::to_string(p.running.size() - 2) + "件";
      text += "  経過 " + Elapsed(std::chrono::steady_clock::now() - start_);
      line_.Model(text);
      wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return done_; });
    }
  }

  ProgressLine line_;
  const BatchControl& control_;
  const std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;  // guarded by mutex_
  std::thread thread_;
};

// Appends the parameter sets to the folder's ParaData.txt in one save, the
// file as it was kept as ParaData.bak. False with a message when nothing
// could be stored.
bool StoreParameterSets(hensuu& store, const std::filesystem::path& dir,
                        const std::vector<ParaRecord>& sets, std::ostream& err) {
  if (sets.empty()) return true;
  if (store.ParaCount() + sets.size() > static_cast<size_t>(kMaxRecords)) {
    err << TableFullMessage() << "\nパラメータは保存しませんでした。\n";
    return false;
  }
  for (const ParaRecord& rec : sets) store.ParaTable.Append(rec);
  const std::filesystem::path file = dir / kParaFile;
  const std::filesystem::path bak = BakPathOf(file);
  std::error_code ec;
  if (std::filesystem::exists(file, ec)) {
    std::string bytes, reason;
    if (!ReadFileWhole(file, bytes, reason) || !WriteBakCopy(file, bytes, reason)) {
      err << "バックアップファイル「" << bak.string()
          << "」を作成できませんでした。\n理由: " << reason
          << "\nパラメータは保存しませんでした。\n";
      return false;
    }
  }
  const FileMessages messages = SaveParaFile(store, dir);
  for (const std::string& m : messages) err << m << "\n";
  return messages.empty();
}

// Takes the folder for --store, as the desktop program does at its start.
bool TakeFolder(FolderLock& lock, const std::filesystem::path& dir, std::ostream& err) {
  std::string detail;
  switch (lock.Take(dir, detail)) {
    case FolderLock::Result::Taken:
      return true;
    case FolderLock::Result::InUse:
      err << "データフォルダ「" << dir.string() << "」は、"
          << (detail.empty() ? "別に起動しているケルボラ１"
                             : "別に起動しているケルボラ１（プロセス番号 " + detail + "）")
          << "が使用中です。\n--store で保存するときは、ケルボラ１を終了してから実行して下さい。\n";
      return false;
    case FolderLock::Result::Failed:
      err << "データフォルダ「" << dir.string()
          << "」を使用中にできませんでした。\n理由: " << detail << "\n";
      return false;
  }
  return false;
}

}  // namespace

int RunFitAll(const FitAllOptions& o, std::ostream& out, std::ostream& err) {
  // What can be told before anything is fitted.
  if (std::optional<std::string> message = StandardTempMessage(o.standardTemp)) {
    err << *message << "\n";
    return 2;
  }
  if (!o.out.empty() && ExportFormatOf(o.out).empty()) {
    err << UnknownExportFormatMessage(o.out) << "\n";
    return 2;
  }
  // A target the export would refuse is refused before anything is fitted
  // or stored.
  if (std::string reason; !o.out.empty() && !CheckExportTarget(o.out, reason)) {
    err << "ファイル「" << o.out << "」に書き込めません。\n理由: " << reason << "\n";
    return 2;
  }
  if (!HoldsDataFiles(o.dir, err)) return 2;
  FolderLock lock;
  if (o.store && (!TakeFolder(lock, o.dir, err) || !NoRecoveryCopyWaits(o.dir, err))) return 2;
  hensuu store;
  const FileMessages messages = ReadDataFiles(store, o.dir);
  if (!messages.empty()) {
    for (const std::string& m : messages) err << m << "\n";
    return 2;
  }
  const int16_t count = o.field ? store.HojyoCount() : store.BaiyoCount();
  if (count == 0) {
    err << "データフォルダに" << (o.field ? "ほ場埋設" : "培養結果") << "の記録がありません。\n";
    return 2;
  }
  std::vector<int16_t> chosen;
  if (o.records) {
    std::string error;
    std::optional<std::vector<int16_t>> list = ParseRecordList(*o.records, count, error);
    if (!list) {
      err << error << "\n";
      return 2;
    }
    chosen = *list;
  } else {
    for (int r = 1; r <= count; ++r) chosen.push_back(static_cast<int16_t>(r));
  }

  BatchControl control;
  std::vector<BatchRow> rows;      // --out
  std::vector<ParaRecord> sets;    // --store
  std::vector<int16_t> notFitted;  // record numbers
  bool outputFailed = false;
  const BatchRequestFn request = [&](size_t i) {
    return o.field ? FieldRecordRequest(store.HojyoTable(chosen[i]), o.standardTemp)
                   : LabRecordRequest(store.BaiyoTable(chosen[i]), o.standardTemp);
  };
  const BatchResultFn result = [&](BatchRecordResult&& r) {
    const int16_t record = chosen[r.index];
    if (!outputFailed) {
      out << RecordJson(r, record);
      out.flush();
      if (!out) {
        // A full disk or a closed pipe: the rest would be lost as well.
        outputFailed = true;
        control.Stop();
      }
    }
    if (!r.ok()) notFitted.push_back(record);
    if (o.store && r.ok()) sets.push_back(r.run.record);
    if (!o.out.empty()) rows.push_back(KeepBatchRow(r, record, false));
  };
  BatchOptions options;
  options.jobs = o.jobs;
  BatchProgressLine progress(err, o.progress, control);
  const BatchTotals totals = RunBatchFit(chosen.size(), request, result, options, &control);
  progress.Finish();
  if (outputFailed) {
    err << "結果を標準出力に書き込めませんでした。\n";
    return 2;
  }

  int code = totals.fitted == chosen.size() ? 0 : 1;
  err << chosen.size() << "件中 " << totals.fitted << "件を算出しました";
  if (!notFitted.empty()) {
    err << "（算出できなかった記録:";
    for (size_t i = 0; i < notFitted.size() && i < 20; ++i)
      err << (i ? "," : "") << " " << notFitted[i];
    if (notFitted.size() > 20) err << " ほか" << notFitted.size() - 20 << "件";
    err << "）";
  }
  err << "。\n";
  if (!o.out.empty()) {
    const std::string message = ExportBatch(rows, o.out);
    if (!message.empty()) {
      err << message << "\n";
      code = 2;
    }
  }
  if (o.store) {
    if (StoreParameterSets(store, o.dir, sets, err)) {
      if (!sets.empty())
        err << sets.size() << "件のパラメータを " << kParaFile << " に保存しました。\n";
    } else {
      code = 2;
    }
  }
  return code;
}

}  // namespace kelvora
