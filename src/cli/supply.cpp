#include "cli/supply.h"

#include <algorithm>
#include <locale>
#include <ostream>
#include <sstream>

#include "cli/input_checks.h"
#include "cli/json.h"
#include "kinetics/model_kind.h"
#include "kinetics/normal_year.h"
#include "kinetics/supply.h"
#include "kinetics/supply_export.h"
#include "store/cp932.h"
#include "store/data_files.h"
#include "store/folder_lock.h"
#include "store/number_text.h"
#include "store/parameter_export.h"
#include "store/recovery.h"
#include "store/supply_plan.h"

namespace kelvora {

const char* const kSupplyHelp =
    "使い方: kelvora-cli supply DIR --temperatures N[,M] --from DATE --to DATE\n"
    "            [--soil SET,DEPTH,DENSITY]... [--fertilizer SET,KG,DATE]... "
    "[--out FILE.xlsx|FILE.csv]\n"
    "        kelvora-cli supply DIR --plan N [--out FILE.xlsx|FILE.csv]\n"
    "\n"
    "データフォルダ DIR のパラメータと地温データから、窒素供給量（kgN/10a）を日ごとに\n"
    "予測します（画面の「窒素供給量の予測」と同じ計算）。\n"
    "  --temperatures N[,M]  地温データの番号 N、平年値の地温データの番号 M（省略可）。\n"
    "                        N にない日の地温は M の同じ月日の地温（予測）です。\n"
    "  --from, --to DATE     計画の最初の日と最後の日（例: 2025/05/10）\n"
    "  --soil SET,DEPTH,DENSITY\n"
    "                        土壌のパラメータ番号 SET、作土深（cm）、仮比重（g/cm3）。\n"
    "                        kgN/10a = mg/100g × 作土深 × 仮比重 ÷ 10。最初の日から計算します。\n"
    "  --fertilizer SET,KG,DATE\n"
    "                        肥料のパラメータ番号 SET、施用量（kgN/10a）、施用日。\n"
    "                        kgN/10a = ％ × 施用量 ÷ 100。施用日から計算します。\n"
    "  --plan N              保存した計画（Sekkei.txt）の番号 N で計算します。\n"
    "  --out FILE            結果を Excel（.xlsx: 日ごとの表と供給源の表）か CSV "
    "にも書き出します。\n"
    "番号は --records と同じく 1 から数えます。供給源は --soil、--fertilizer の順に最大10。\n"
    "結果は JSON で標準出力へ（供給量のない日は null）。データフォルダの中身は変更しません。\n"
    "地温のない日は標準エラー出力に示します。\n"
    "フォルダや番号、値に誤りがあるとき、計算や書き出しができないときは終了コード 2。\n";

const char* const kNormalsHelp =
    "使い方: kelvora-cli normals DIR --series N[,N...] --year Y --name NAME [--dry-run]\n"
    "\n"
    "データフォルダ DIR の地温データ N...（1 から数えた番号）から、Y 年の平年値の地温データを\n"
    "作り、名前 NAME で TionData.txt の最後に加えます（画面の「平年値の作成」と同じ計算）。\n"
    "各日の地温は、選んだ地温データにあるすべての年の同じ月日の地温の平均（小数2桁、四捨五入）。\n"
    "2月29日は、ある年の2月29日の平均、なければ2月28日と3月1日の平均です。\n"
    "  --dry-run   計算して結果を表示するだけで、ファイルは変更しません。\n"
    "書き込むときはフォルダを使用中にし（プログラムが使用中のときは書き込みません）、元の\n"
    "TionData.txt を TionData.bak として残し、一時ファイルに書いてから置き換えます。\n"
    "結果は JSON で標準出力へ。誤りがあるときは終了コード 2（追加した後で結果を標準出力に\n"
    "書き込めなかったときも終了コード 2 で、追加したことを表示します）。\n";

namespace {

std::vector<std::string> SplitAt(const std::string& s, char sep) {
  std::vector<std::string> out(1);
  for (char c : s) {
    if (c == sep) {
      out.emplace_back();
    } else {
      out.back().push_back(c);
    }
  }
  return out;
}

// A record number 1 ... count, or nothing with a message on `err`.
std::optional<int16_t> RecordNumber(const std::string& text, int count, const std::string& what,
                                    std::ostream& err) {
  const std::optional<int64_t> n = ParseWholeNumber(text);
  if (!n || *n < 1 || *n > count) {
    err << what << "の番号「" << text << "」がありません（" << what << "は "
        << (count > 0 ? "1〜" + std::to_string(count) : std::string("0 件")) << "）。\n";
    return std::nullopt;
  }
  return static_cast<int16_t>(*n);
}

std::optional<CivilDate> DateOption(const std::string& text, const char* option,
                                    std::ostream& err) {
  const std::optional<CivilDate> d = ParseDateText(text);
  if (!d) err << option << " の日付「" << text << "」が正しくありません（例: 2025/05/10）。\n";
  return d;
}

std::optional<float> NumberValue(const std::string& text, const std::string& what,
                                 std::ostream& err) {
  const std::optional<float> v = ParseSingle(text);
  if (!v) err << what << "「" << text << "」が数字ではありません。\n";
  return v;
}

// One --soil or --fertilizer option as a source.
std::optional<PlanSource> SourceOption(const hensuu& store, const std::string& value,
                                       bool fertilizer, std::ostream& err) {
  const char* option = fertilizer ? "--fertilizer" : "--soil";
  const std::vector<std::string> parts = SplitAt(value, ',');
  if (parts.size() != 3) {
    err << option << " " << value << ": " << (fertilizer ? "SET,KG,DATE" : "SET,DEPTH,DENSITY")
        << " の3つを指定して下さい。\n";
    return std::nullopt;
  }
  const std::optional<int16_t> set = RecordNumber(parts[0], store.ParaCount(), "パラメータ", err);
  if (!set) return std::nullopt;
  PlanSource s;
  s.para = PlanCopyOf(store.ParaTable(*set));
  if (!IsValidModel(s.para.ModelNo) || s.IsFertilizer() != fertilizer) {
    err << "パラメータ " << *set << "「" << s.para.SoilName << "」は"
        << (!IsValidModel(s.para.ModelNo) ? "モデルが正しくありません。"
            : fertilizer ? "土壌のパラメータです。--soil で指定して下さい。"
                         : "肥料のパラメータです。--fertilizer で指定して下さい。")
        << "\n";
    return std::nullopt;
  }
  if (fertilizer) {
    const std::optional<float> kg = NumberValue(parts[1], "施用量", err);
    const std::optional<CivilDate> date = kg ? DateOption(parts[2], option, err) : std::nullopt;
    if (!date) return std::nullopt;
    s.kgPer10a = *kg;
    s.applied = *date;
  } else {
    const std::optional<float> depth = NumberValue(parts[1], "作土深", err);
    const std::optional<float> density = depth ? NumberValue(parts[2], "仮比重", err) : depth;
    if (!density) return std::nullopt;
    s.depthCm = *depth;
    s.density = *density;
  }
  return s;
}

// The stored set a plan's copy was taken from, while it is unchanged; 0
// when none is.
int16_t RecordOfCopy(const hensuu& store, const ParaRecord& copy) {
  for (int i = 1; i <= store.ParaCount(); ++i) {
    if (PlanCopyOf(store.ParaTable(i)) == copy) return static_cast<int16_t>(i);
  }
  return 0;
}

bool ReadFolder(const std::string& dir, hensuu& store, std::ostream& err) {
  if (!HoldsDataFiles(dir, err)) return false;
  const FileMessages messages = ReadDataFiles(store, dir);
  for (const std::string& m : messages) err << m << "\n";
  return messages.empty();
}

// The input of a stored plan, with the names it is shown with.
bool PlanInput(const hensuu& store, const std::string& number, SupplyInput& in, SupplyNames& names,
               std::ostream& err) {
  const std::optional<int16_t> n = RecordNumber(number, store.SekkeiCount(), "計画", err);
  if (!n) return false;
  const SekkeiRecord& plan = store.SekkeiTable(*n);
  names = {plan.PlanName, plan.SiteName, plan.NormalName};
  std::string problem;
  const auto sources = ReadPlanSources(plan.GridText, problem);
  const std::optional<CivilDate> first = ParseDateText(plan.FirstDate);
  const std::optional<CivilDate> last = ParseDateText(plan.LastDate);
  if (!sources || !first || !last) {
    err << "計画 " << *n << "「" << plan.PlanName << "」が読めません。"
        << (sources ? "最初の日か最後の日が日付ではありません。" : problem) << "\n";
    return false;
  }
  const int16_t tion = FindPlanSeries(store, plan.TionNo, plan.SiteName);
  if (tion == 0) {
    err << MissingSeriesMessage("地温データ", plan.SiteName) << "\n";
    return false;
  }
  in.observedGrid = store.TionTable(tion).GridText;
  if (!plan.NormalName.empty() || plan.NormalNo != 0) {
    const int16_t normal = FindPlanSeries(store, plan.NormalNo, plan.NormalName);
    if (normal == 0) {
      err << MissingSeriesMessage("平年値の地温データ", plan.NormalName) << "\n";
      return false;
    }
    in.normalGrid = store.TionTable(normal).GridText;
  }
  in.first = *first;
  in.last = *last;
  in.sources = *sources;
  return true;
}

bool OptionsInput(const hensuu& store, const SupplyRequest& r, SupplyInput& in, SupplyNames& names,
                  std::ostream& err) {
  if (!r.temperatures || r.from.empty() || r.to.empty()) {
    err << "--temperatures、--from、--to を指定して下さい（保存した計画は --plan N）。\n";
    return false;
  }
  const std::vector<std::string> series = SplitAt(*r.temperatures, ',');
  if (series.size() > 2) {
    err << "--temperatures には地温データと平年値の2つまでの番号を指定して下さい。\n";
    return false;
  }
  const std::optional<int16_t> observed =
      RecordNumber(series[0], store.TionCount(), "地温データ", err);
  if (!observed) return false;
  names.observed = store.TionTable(*observed).SiteName;
  in.observedGrid = store.TionTable(*observed).GridText;
  if (series.size() == 2) {
    const std::optional<int16_t> normal =
        RecordNumber(series[1], store.TionCount(), "地温データ", err);
    if (!normal) return false;
    names.normal = store.TionTable(*normal).SiteName;
    in.normalGrid = store.TionTable(*normal).GridText;
  }
  const std::optional<CivilDate> first = DateOption(r.from, "--from", err);
  const std::optional<CivilDate> last = first ? DateOption(r.to, "--to", err) : first;
  if (!last) return false;
  in.first = *first;
  in.last = *last;
  if (r.soils.size() + r.fertilizers.size() > static_cast<size_t>(kMaxPlanSources)) {
    err << "供給源（--soil と --fertilizer）は" << kMaxPlanSources << "までです。\n";
    return false;
  }
  for (bool fertilizer : {false, true}) {
    for (const std::string& value : fertilizer ? r.fertilizers : r.soils) {
      const std::optional<PlanSource> s = SourceOption(store, value, fertilizer, err);
      if (!s) return false;
      in.sources.push_back(*s);
    }
  }
  return true;
}

std::string OptionalJson(const std::optional<double>& v) {
  return v ? JsonDouble(*v) : std::string("null");
}

std::string SupplyJson(const hensuu& store, const SupplyInput& in, const SupplyResult& result) {
  std::ostringstream json;
  json.imbue(std::locale::classic());
  json << "{\"sources\": [";
  for (size_t i = 0; i < in.sources.size(); ++i) {
    const PlanSource& s = in.sources[i];
    const int16_t record = RecordOfCopy(store, s.para);
    json << (i ? ", " : "") << "{\"record\": " << (record ? std::to_string(record) : "null")
         << ", \"name\": " << JsonString(s.para.SoilName)
         << ", \"kind\": " << JsonString(s.IsFertilizer() ? "fertilizer" : "soil")
         << ", \"factor\": " << JsonDouble(result.sources[i].factor)
         << ", \"start\": " << JsonString(DateText(result.sources[i].start)) << "}";
  }
  json << "], \"days\": [";
  for (size_t d = 0; d < result.days.size(); ++d) {
    const SupplyDay& day = result.days[d];
    json << (d ? ", " : "") << "{\"date\": " << JsonString(DateText(day.date))
         << ", \"temperature\": " << OptionalJson(day.temperature)
         << ", \"forecast\": " << JsonBool(day.forecast) << ", \"sources\": [";
    for (size_t i = 0; i < day.amounts.size(); ++i) {
      json << (i ? ", " : "") << OptionalJson(day.amounts[i]);
    }
    json << "], \"total\": " << OptionalJson(day.total) << "}";
  }
  json << "]}\n";
  return json.str();
}

bool WriteChecked(std::ostream& out, const std::string& text, std::ostream& err) {
  out << text;
  out.flush();
  if (!out) err << "結果を標準出力に書き込めませんでした。\n";
  return static_cast<bool>(out);
}

}  // namespace

int RunSupplyPlan(const SupplyRequest& r, std::ostream& out, std::ostream& err) {
  if (r.plan && (r.temperatures || !r.from.empty() || !r.to.empty() || !r.soils.empty() ||
                 !r.fertilizers.empty())) {
    err << "--plan は --temperatures、--from、--to、--soil、--fertilizer "
           "と一緒には指定できません。\n";
    return 2;
  }
  if (!r.out.empty() && ExportFormatOf(r.out).empty()) {
    err << UnknownExportFormatMessage(r.out) << "\n";
    return 2;
  }
  hensuu store;
  if (!ReadFolder(r.dir, store, err)) return 2;
  SupplyInput in;
  SupplyNames names;
  if (!(r.plan ? PlanInput(store, *r.plan, in, names, err)
               : OptionsInput(store, r, in, names, err))) {
    return 2;
  }
  const SupplyResult result = ComputeSupply(in);
  if (!result.ok) {
    err << result.message << "\n";
    return 2;
  }
  if (!r.out.empty()) {
    const std::string message = ExportSupply(names, in, result, r.out);
    if (!message.empty()) {
      err << message << "\n";
      return 2;
    }
  }
  if (!WriteChecked(out, SupplyJson(store, in, result), err)) return 2;
  if (const std::string gaps = NoTemperatureMessage(result); !gaps.empty()) {
    err << "警告: " << gaps << "\n";
  }
  return 0;
}

int RunNormals(const NormalsRequest& r, std::ostream& out, std::ostream& err) {
  const std::optional<int64_t> year = ParseWholeNumber(r.year);
  if (!year) {
    err << "--year に年（例: 2025）を指定して下さい。\n";
    return 2;
  }
  if (r.name.empty() || !IsUtf8(r.name)) {
    err << "--name に地温データの名前（UTF-8）を指定して下さい。\n";
    return 2;
  }
  // Stored as the screens store a name typed in.
  const std::string name = ToStoredForms(ReplaceQuotes(r.name));
  std::string problem;
  if (!CanStoreText(name, &problem)) {
    err << UnstorableTextMessage(name, problem) << "\n";
    return 2;
  }
  if (!HoldsDataFiles(r.dir, err)) return 2;
  FolderLock lock;
  if (!r.dryRun) {
    std::string detail;
    const FolderLock::Result taken = lock.Take(r.dir, detail);
    if (taken != FolderLock::Result::Taken) {
      err << "データフォルダ「" << r.dir << "」"
          << (taken == FolderLock::Result::InUse
                  ? "は別のプログラム" + (detail.empty() ? "" : "（プロセス " + detail + "）") +
                        "が使用中です。プログラムを終了してから、もう一度行って下さい。"
                  : "を使用中にできませんでした（" + detail + "）。")
          << "\n";
      return 2;
    }
    if (!NoRecoveryCopyWaits(r.dir, err)) return 2;
  }
  // Only TionData.txt is read and written; it must be read whole, or a save
  // would lose what could not be read.
  const std::filesystem::path path = std::filesystem::path(r.dir) / kTionFile;
  std::string bytes, reason;
  std::error_code ec;
  const bool exists = std::filesystem::exists(path, ec);
  hensuu store;
  if (exists) {
    int badLine = 0;
    if (!ReadFileWhole(path, bytes, reason) ||
        !DecodeTable(store.TionTable, bytes, badLine, reason)) {
      err << "データファイル「" << path.string() << "」を読み込めませんでした（"
          << (badLine ? std::to_string(badLine) + "行目: " : std::string()) << reason << "）。\n";
      return 2;
    }
  }
  std::vector<TionRecord> chosen;
  for (const std::string& part : SplitAt(r.series, ',')) {
    const std::optional<int16_t> n = RecordNumber(part, store.TionCount(), "地温データ", err);
    if (!n) return 2;
    chosen.push_back(store.TionTable(*n));
  }
  const NormalYear normal =
      MakeNormalYear(chosen, static_cast<int>(std::clamp<int64_t>(*year, -1, 100000)));
  if (!normal.ok) {
    err << normal.message << "\n";
    return 2;
  }
  if (!r.dryRun) {
    if (!store.TionTable.Append(TionRecord{name, normal.gridText})) {
      err << TableFullMessage() << "\n";
      return 2;
    }
    std::string encoded;
    if (!EncodeTable(store.TionTable, encoded, problem)) {
      err << problem << "\n";
      return 2;
    }
    // The file as it was becomes its .bak copy; should the file itself then
    // fail, the earlier .bak copy is put back.
    const std::filesystem::path bak = BakPathOf(path);
    std::string oldBak, ignored;
    const bool hadBak = std::filesystem::exists(bak, ec) && ReadFileWhole(bak, oldBak, ignored);
    if (exists && !WriteBakCopy(path, bytes, reason)) {
      err << "バックアップファイル「" << bak.string()
          << "」を作成できませんでした。\n理由: " << reason << "\n";
      return 2;
    }
    if (!WriteFileAtomically(path, encoded, reason)) {
      if (exists && hadBak) WriteFileAtomically(bak, oldBak, ignored);
      err << "データファイル「" << path.string() << "」に書き込めませんでした。\n理由: " << reason
          << "\n元のファイルは変更されていません。\n";
      return 2;
    }
  }
  std::ostringstream json;
  json.imbue(std::locale::classic());
  json << "{\"name\": " << JsonString(name) << ", \"first\": " << JsonString(DateText(normal.first))
       << ", \"last\": " << JsonString(DateText(normal.last)) << ", \"days\": " << normal.days
       << ", \"empty_days\": [";
  for (size_t i = 0; i < normal.emptyDays.size(); ++i) {
    json << (i ? ", " : "") << JsonString(DateText(normal.emptyDays[i]));
  }
  json << "], \"years\": [";
  for (size_t i = 0; i < normal.years.size(); ++i) json << (i ? ", " : "") << normal.years[i];
  json << "]}\n";
  if (WriteChecked(out, json.str(), err)) return 0;
  // A script must not add the series a second time.
  if (!r.dryRun) err << "平年値の地温データは " << kTionFile << " に追加してあります。\n";
  return 2;
}

}  // namespace kelvora
