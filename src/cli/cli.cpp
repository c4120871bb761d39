#include "cli/cli.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <locale>
#include <map>
#include <sstream>

#include "cli/export.h"
#include "cli/fit_all.h"
#include "cli/fit_json.h"
#include "cli/import_temperatures.h"
#include "cli/input_checks.h"
#include "cli/json.h"
#include "cli/report.h"
#include "cli/stats_json.h"
#include "cli/supply.h"
#include "kelvora_version.h"
#include "kinetics/estimation.h"
#include "kinetics/fit_driver.h"
#include "kinetics/lab_table.h"
#include "kinetics/model_kind.h"
#include "store/data_files.h"
#include "store/grid_text.h"
#include "store/number_text.h"
#include "store/record_line.h"

namespace kelvora {
namespace {

const char* kUsage =
    "使い方: kelvora-cli <コマンド> [オプション]\n"
    "\n"
    "コマンド:\n"
    "  fit TABLE --std-temp TS [--fertilizer] [--strict] [--name NAME] [--initial M=...]...\n"
    "      "
    "培養試験の表（TAB区切り、1行目に培養温度、1列目に培養日数）からパラメータを算出します。\n"
    "  fit-field TABLE --std-temp TS [--fertilizer] [--strict] [--name NAME] [--initial M=...]...\n"
    "      ほ場埋設の表（年/月/日、地温、無機化量）からパラメータを算出します。\n"
    "  fit-all DIR [--records LIST] [--field] [--std-temp TS] [--jobs N] [--store] [--out FILE]\n"
    "      データフォルダの培養結果（--field: ほ場埋設）の記録をまとめて算出します。\n"
    "  estimate SERIES --model M --params p1,p2,... --std-temp TS [--from DATE] [--to DATE]\n"
    "      地温の表（年/月/日、地温）から無機化量を推定します。\n"
    "  dump DIR\n"
    "      データフォルダの5つのファイルを JSON（UTF-8）で出力します。\n"
    "  report parameters|estimations DIR --out FILE.pdf [--records LIST]\n"
    "      データフォルダの記録から帳票（パラメータ計算結果、推定結果）の PDF を作ります。\n"
    "  export parameters|estimations DIR --out FILE.xlsx|FILE.csv [--records LIST]\n"
    "      データフォルダのパラメータや推定結果を Excel（.xlsx）か CSV に書き出します。\n"
    "  import-temperatures FILE DIR [--name NAME] [--temperature-column N,...] [--dry-run] ...\n"
    "      データロガーなどの地温ファイルを日ごとの系列としてデータフォルダに追加します。\n"
    "  supply DIR --temperatures N[,M] --from DATE --to DATE [--soil SET,DEPTH,DENSITY]...\n"
    "         [--fertilizer SET,KG,DATE]... [--out FILE]   または   supply DIR --plan N\n"
    "      土壌と肥料からの窒素供給量（kgN/10a）を日ごとに予測します。\n"
    "  normals DIR --series N[,N...] --year Y --name NAME [--dry-run]\n"
    "      地温データから平年値の地温データを作り、データフォルダに加えます。\n"
    "\n"
    "TABLE と SERIES は UTF-8 のテキストファイル（- で標準入力）。\n"
    "各コマンドの詳しい説明は kelvora-cli <コマンド> --help で表示します。\n"
    "\n"
    "オプション:\n"
    "  -h, --help      この説明を表示します（help COMMAND でそのコマンドの説明）。\n"
    "  -v, --version   バージョンを表示します。\n";

const char* kFitHelp =
    "使い方: kelvora-cli fit TABLE --std-temp TS [--fertilizer] [--strict] [--name NAME] "
    "[--initial M=v1,v2,...]...\n"
    "\n"
    "TABLE は培養結果の表（UTF-8、セルは TAB 区切り、行は LF・CR LF・CR のいずれか区切り）。\n"
    "1行目: 「培養日数」と最大3つの培養温度。2行目以降: 培養日数と各温度の窒素無機化量。\n"
    "\n"
    "  --std-temp TS    標準温度（℃）\n"
    "  --fertilizer     被覆肥料として算出（既定は土壌）\n"
    "  --strict         数字でないセル（画面と同じく空欄として扱うもの）があれば誤りとする\n"
    "  --name NAME      土壌名（肥料名）\n"
    "  --initial M=...  モデル M（土壌 1〜3、被覆肥料 4〜5）の初期値を指定し、そのモデルの\n"
    "                   初期値の探索を省きます（「初期値の変更」→「再計算」と同じ）\n"
    "\n"
    "結果は JSON で標準出力へ。表や標準温度に誤りがあるときは終了コード 2、\n"
    "モデルの解が求まらないとき、測定値がどのモデルのパラメータの数より少ないときは\n"
    "終了コード 3。数字でないセルは空欄として扱い、\n"
    "その位置を標準エラー出力に示します。標準エラー出力が端末のときは、\n"
    "計算中のモデルと反復回数を1行で表示します。\n"
    "各モデルの \"stats\" には、保存されるパラメータでのフィット統計（標準誤差、95%信頼区間、\n"
    "t値、相関行列、R²、AICc、BIC、Akaikeの重み、半減期、Q10、警告）を出力します。\n"
    "推定できない値や定義されない値は null です。\n"
    "各モデルの \"refined\" には、最小二乗法（Levenberg–Marquardt）で精密化した値と、\n"
    "その値での残差平方和・AIC（算出と同じ計算）、0.1% を超えて下がったか（improved）、\n"
    "出発点（optimum: 算出結果、grid: 初期値の候補）を出力します。\"refined_best\" は\n"
    "精密化した値で AIC が最小のモデルです（精密化できたモデルがないときは null）。\n";

const char* kFitFieldHelp =
    "使い方: kelvora-cli fit-field TABLE --std-temp TS [--fertilizer] [--strict] [--name NAME] "
    "[--initial M=v1,v2,...]...\n"
    "\n"
    "TABLE はほ場埋設の表（UTF-8、TAB 区切り）。1行目は見出し、2行目以降は\n"
    "年/月/日、その日の地温（℃）、その日に測った無機化量（測っていない日は空欄）。\n"
    "各行を1日として計算します。日付が1日ずつ続いていないときは警告します。\n"
    "オプションと出力は fit と同じです。\n";

const char* kEstimateHelp =
    "使い方: kelvora-cli estimate SERIES --model M --params p1,p2,... --std-temp TS "
    "[--from DATE] [--to DATE]\n"
    "\n"
    "SERIES は地温の表（UTF-8、TAB 区切り）。1行目は見出し、2行目以降は年/月/日と地温（℃）。\n"
    "  --model M        モデル番号 1〜6\n"
    "  --params ...     パラメータ（モデル 1,4: 4個、2,3: 7個、5: 5個、6: 6個）\n"
    "  --std-temp TS    標準温度（℃）\n"
    "  --from, --to     推定する期間（表の年/月/日と同じ文字で指定）\n"
    "各行を1日として計算します。日付が1日ずつ続いていないときは警告します。\n"
    "\n"
    "結果は JSON で標準出力へ。入力に誤りがあるときは終了コード 2。\n";

const char* kDumpHelp =
    "使い方: kelvora-cli dump DIR\n"
    "\n"
    "データフォルダ DIR の BaiyoData.txt, ParaData.txt, TionData.txt, Suitei.txt, Hojyo.txt と\n"
    "Sekkei.txt（窒素供給量の予測の計画、ないときは0件）を読み、JSON（UTF-8）で標準出力へ\n"
    "出力します。フォルダの中身は変更しません。\n"
    "読めないファイルがあるときは、読めた分を出力し、終了コード 1 で終わります。\n"
    "データファイルが1つもないフォルダは、終了コード 2 で終わります。\n";

const char* kReportHelp =
    "使い方: kelvora-cli report parameters DIR --out FILE.pdf [--records LIST]\n"
    "        kelvora-cli report estimations DIR --out FILE.pdf [--records LIST]\n"
    "\n"
    "データフォルダ DIR の記録から、画面の「データ印刷」「印刷」と同じ帳票を PDF にします。\n"
    "  parameters     パラメータ計算結果（A4 横、1ページに6件）\n"
    "  estimations    窒素無機化の推定結果（A4 縦、1件ずつ新しいページから）\n"
    "  --out FILE     書き出す PDF ファイル\n"
    "  --records LIST 記録の番号（例: 1-7、2,4,9、1-3,8）。番号の小さい順に印刷します。\n"
    "                 省略するとすべての記録。\n"
    "データフォルダの中身は変更しません。画面（ディスプレイ）は使いません。\n"
    "フォルダや記録の番号に誤りがあるとき、書き出せないときは終了コード 2。\n";

const char* kExportHelp =
    "使い方: kelvora-cli export parameters DIR --out FILE.xlsx|FILE.csv [--records LIST]\n"
    "        kelvora-cli export estimations DIR --out FILE.xlsx|FILE.csv [--records LIST]\n"
    "\n"
    "データフォルダ DIR の記録を表計算ソフトで開けるファイルに書き出します。\n"
    "  parameters     パラメータ一覧（1行に1件）\n"
    "  estimations    推定結果（.xlsx は1件1シート、.csv は全件を1つの表に）\n"
    "  --out FILE     書き出すファイル。拡張子 .xlsx で Excel、.csv で CSV（UTF-8）\n"
    "  --records LIST 記録の番号（例: 1-7、2,4,9、1-3,8）。番号の小さい順に書き出します。\n"
    "                 省略するとすべての記録。\n"
    "データフォルダの中身は変更しません。\n"
    "フォルダや記録の番号に誤りがあるとき、書き出せないときは終了コード 2。\n";

struct UsageError {
  std::string message;
};

// Reads TABLE or SERIES; a folder, an unreadable file or text that is not
// UTF-8 (it would end up in the JSON) is refused with a message.
bool ReadInput(const std::string& path, std::string& text, std::ostream& err) {
  std::string message;
  if (!ReadInputFile(path, text, message)) {
    err << message << "\n";
    return false;
  }
  if (int line = FirstNonUtf8Line(text)) {
    err << "ファイル「" << path << "」の" << line
        << "行目に UTF-8 として読めない文字があります。\n";
    return false;
  }
  return true;
}

// A table copied from a spreadsheet: rows separated by LF, CR LF or CR, cells
// by TAB. A final line break ends the last row.
std::vector<std::vector<std::string>> ParseTable(std::string text) {
  if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return SplitGridText(text, kSpreadsheetFormat);
}

std::vector<std::string> SplitComma(const std::string& s) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : s) {
    if (c == ',') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  out.push_back(cur);
  return out;
}

// Options of one command: flags without a value and options with one (which
// may repeat).
struct Options {
  std::vector<std::string> positional;
  std::map<std::string, std::vector<std::string>> values;
  std::map<std::string, bool> flags;
  bool help = false;
};

Options ParseOptions(const std::vector<std::string>& args, size_t from,
                     const std::vector<std::string>& valueNames,
                     const std::vector<std::string>& flagNames) {
  Options o;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a.size() > 1 && a[0] == '-' && a != "-") {
      std::string name = a, value;
      bool hasValue = false;
      size_t eq = a.find('=');
      if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
        name = a.substr(0, eq);
        value = a.substr(eq + 1);
        hasValue = true;
      }
      if (std::find(flagNames.begin(), flagNames.end(), name) != flagNames.end()) {
        if (hasValue) throw UsageError{"オプション " + name + " に値は付けられません。"};
        o.flags[name] = true;
        continue;
      }
      if (std::find(valueNames.begin(), valueNames.end(), name) == valueNames.end()) {
        throw UsageError{"不明なオプションです: " + a};
      }
      if (!hasValue) {
        if (i + 1 >= args.size()) throw UsageError{"オプション " + name + " に値がありません。"};
        value = args[++i];
      }
      o.values[name].push_back(value);
      continue;
    }
    o.positional.push_back(a);
  }
  return o;
}

std::string Single(const Options& o, const std::string& name) {
  auto it = o.values.find(name);
  if (it == o.values.end()) return std::string();
  if (it->second.size() > 1)
    throw UsageError{"オプション " + name + " が2回以上指定されています。"};
  return it->second.front();
}

// ---- input checks ----------------------------------------------------------

// Rows are taken as consecutive days; dates that say otherwise get a warning.
void WarnNonConsecutiveDays(const std::vector<std::string>& dates, int count, const char* table,
                            std::ostream& err) {
  int d = FirstNonConsecutiveDay(dates, count);
  if (d == 0) return;
  int y, m, day;
  const bool isDate = ParseDate(dates[d], y, m, day);
  err << "警告: " << table << "の" << d + 1 << "行目の年/月/日「" << ShortText(dates[d]) << "」"
      << (isDate ? "が前の行の翌日ではありません" : "は正しい日付ではありません")
      << "。各行を1日として計算します。\n";
}

// What the fit's clean-up will do to the table: cells that are not numbers
// are emptied (as on the screens) and named on stderr; with --strict they are
// an error. The field table's dates and daily temperatures are checked too.
bool CheckFitTable(const GridTable& grid, size_t lines, bool field, bool strict,
                   std::ostream& err) {
  const std::vector<EmptiedCell> emptied = CellsTheCleanUpEmpties(grid, field);
  const size_t shown = std::min<size_t>(emptied.size(), 20);
  for (size_t i = 0; i < shown; ++i) {
    err << (strict ? "エラー: 表の" : "警告: 表の") << DescribeCell(emptied[i])
        << (strict ? "が数字ではありません。\n" : "は数字ではないため、空欄として扱います。\n");
  }
  if (emptied.size() > shown) {
    err << "（ほかに数字でないセルが" << emptied.size() - shown << "個あります）\n";
  }
  if (strict && !emptied.empty()) return false;
  if (!field) {
    // The incubation temperatures of row 0: at or below -273 ℃ no
    // temperature adjustment can be computed.
    for (int c = 1; c < grid.Cols(); ++c) {
      std::optional<float> t = ParseSingle(grid.Cell(0, c));
      if (t && !IsPossibleTemperature(*t)) {
        err << "表の1行" << c + 1 << "列目の培養温度「" << ShortText(grid.Cell(0, c))
            << "」が-273℃以下です。培養温度に-273℃より高い温度を記入して下さい。\n";
        return false;
      }
    }
    for (int r = 1; r < grid.Rows(); ++r) {
      std::optional<float> day = ParseSingle(grid.Cell(r, 0));
      if (day && *day < 0) {
        err << "警告: 表の" << r + 1 << "行1列目の培養日数「" << ShortText(grid.Cell(r, 0))
            << "」が負の値です。\n";
      }
    }
    return true;
  }
  if (lines <= 1) return true;
  std::vector<std::string> dates(grid.Rows());
  for (int r = 1; r < grid.Rows(); ++r) dates[r] = grid.Cell(r, 0);
  WarnNonConsecutiveDays(dates, grid.Rows() - 1, "表", err);
  for (int r = 1; r < grid.Rows(); ++r) {
    std::optional<float> t = ParseSingle(grid.Cell(r, 1));
    if (t && !IsPossibleTemperature(*t)) {
      err << "表の" << r + 1 << "行目の地温「" << grid.Cell(r, 1)
          << "」が-273℃以下です。地温に-273℃より高い温度を記入して下さい。\n";
      return false;
    }
  }
  return true;
}

// A standard temperature far outside what soils see is most likely a typing
// error; it is used as given, with a warning.
void WarnUnusualStdTemp(const std::string& text, std::ostream& err) {
  std::optional<float> t = ParseSingle(text);
  if (t && IsPossibleTemperature(*t) && (*t < -50.0f || *t > 100.0f)) {
    err << "警告: 標準温度「" << ShortText(text)
        << "」℃は通常の範囲（-50〜100℃）を外れています。\n";
  }
}

// Writes the result and makes sure it reached the output: a full disk or a
// closed pipe is an error, never a success with a cut result.
bool WriteResult(std::ostream& out, const std::string& text, std::ostream& err) {
  out << text;
  out.flush();
  if (!out) {
    err << "結果を標準出力に書き込めませんでした。\n";
    return false;
  }
  return true;
}

// ---- fit -------------------------------------------------------------------

class CliHost : public FitHost {
 public:
  ProgressLine* progress = nullptr;  // the terminal line, when stderr is one
  void ShowProgress(const std::string& line1, const std::string& line2,
                    const std::string&) override {
    if (progress) progress->Model(line1 + line2);
  }
  void SweepDone(int16_t, int16_t sweep, float) override {
    if (progress) progress->Sweep(sweep);
  }
  FailedFitAnswer ModelFailed(FitSession&, int16_t model) override {
    failedModel = model;
    return FailedFitAnswer::Cancel;
  }
  int16_t failedModel = 0;
};

std::string JsonSingles(const std::vector<float>& v) {
  std::string s = "[";
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) s += ", ";
    s += JsonSingle(v[i]);
  }
  return s + "]";
}

std::string JsonRecord(const ParaRecord& r) {
  std::string s =
      "{\"SoilName\": " + JsonString(r.SoilName) + ", \"ModelNo\": " + std::to_string(r.ModelNo);
  for (int i = 0; i < 7; ++i) {
    s += ", \"Param" + std::to_string(i + 1) + "\": " + JsonSingle(r.Param[i]);
  }
  s += ", \"Aic\": " + JsonSingle(r.Aic) + ", \"Rss\": " + JsonSingle(r.Rss) +
       ", \"IsManual\": " + JsonBool(r.IsManual) + ", \"StdTemp\": " + JsonSingle(r.StdTemp) + "}";
  return s;
}

std::string JsonCell(const std::optional<CellValue>& v) {
  if (!v) return "null";
  return v->isSingle ? JsonSingle(static_cast<float>(v->value)) : JsonDouble(v->value);
}

std::string JsonObserved(const std::variant<std::monostate, std::string, float>& o) {
  if (const auto* text = std::get_if<std::string>(&o)) {
    std::optional<double> d = ParseDouble(*text);
    return d ? JsonDouble(*d) : "null";
  }
  if (const auto* f = std::get_if<float>(&o)) return JsonSingle(*f);
  return "null";
}

}  // namespace

std::string FitModelsJson(const FitSession& s, bool ok, int16_t failedModel, const FitStats& stats,
                          const FitRefinement& refined) {
  std::ostringstream json;
  json.imbue(std::locale::classic());  // no digit grouping from the user's locale
  json << "[";
  bool first = true;
  for (int16_t m : MaterialModels(s.material)) {
    bool failed = !ok && m == failedModel;
    bool done = ok || (m < failedModel);
    if (!done && !failed) continue;
    if (!first) json << ", ";
    first = false;
    std::vector<float> params = s.params[m];
    if (failed) {
      params.clear();
      for (double v : s.paramVec) params.push_back(static_cast<float>(v));
    }
    json << "{\"model\": " << m << ", \"name\": " << JsonString(ModelName(m))
         << ", \"initial\": " << JsonSingles(s.initialParams[m])
         << ", \"params\": " << JsonSingles(params)
         << ", \"rss\": " << JsonSingle(failed ? s.bestRss : s.rss[m])
         << ", \"aic\": " << (failed ? std::string("null") : JsonSingle(s.aic[m]))
         << ", \"sweeps\": " << s.sweeps[m] << ", \"ok\": " << JsonBool(!failed)
         << ", \"stats\": " << (stats.models[m] ? JsonModelStats(*stats.models[m]) : "null")
         << ", \"refined\": " << (refined.models[m] ? JsonRefined(*refined.models[m]) : "null")
         << "}";
  }
  json << "]";
  return json.str();
}

namespace {

int RunFit(const std::vector<std::string>& args, bool field, std::ostream& out, std::ostream& err) {
  Options o =
      ParseOptions(args, 1, {"--std-temp", "--name", "--initial"}, {"--fertilizer", "--strict"});
  if (o.help) {
    out << (field ? kFitFieldHelp : kFitHelp);
    return 0;
  }
  if (o.positional.size() != 1) throw UsageError{"表のファイルを1つ指定して下さい。"};
  if (!o.values.count("--std-temp")) throw UsageError{"--std-temp で標準温度を指定して下さい。"};
  std::string text;
  if (!ReadInput(o.positional[0], text, err)) return 2;

  FitRequest request;
  auto rows = ParseTable(text);
  const int cols = field ? 3 : 4;
  for (const auto& row : rows) {
    if (static_cast<int>(row.size()) > cols) {
      err << "表の列が多すぎます（" << cols << "列まで）。\n";
      return 2;
    }
  }
  if (!field && rows.size() > 100) {
    err << "表の行が多すぎます（見出しを含めて100行まで）。\n";
    return 2;
  }
  request.source = field ? FitSource::Field : FitSource::Laboratory;
  request.table = GridFromRows(rows, field ? 2 : 100, cols);
  if (!CheckFitTable(request.table, rows.size(), field, o.flags.count("--strict") > 0, err))
    return 2;
  request.name = Single(o, "--name");
  if (!IsUtf8(request.name)) throw UsageError{"--name の値が UTF-8 ではありません。"};
  request.standardTemp = Single(o, "--std-temp");
  request.isFertilizer = o.flags.count("--fertilizer") > 0;
  WarnUnusualStdTemp(request.standardTemp, err);

  // Given initial values replace the grid search of their model.
  auto it = o.values.find("--initial");
  if (it != o.values.end()) {
    for (const std::string& option : it->second) {
      size_t eq = option.find('=');
      std::optional<double> m =
          eq == std::string::npos ? std::nullopt : ParseDouble(option.substr(0, eq));
      int16_t model = m ? static_cast<int16_t>(*m) : 0;
      bool ofMaterial =
          request.isFertilizer ? (model == 4 || model == 5) : (model >= 1 && model <= 3);
      if (!m || *m != model || !ofMaterial) {
        throw UsageError{"--initial " + option + ": モデル番号は" +
                         (request.isFertilizer ? "4か5" : "1〜3") + "で指定して下さい。"};
      }
      std::vector<std::string> parts = SplitComma(option.substr(eq + 1));
      if (static_cast<int>(parts.size()) != FittedParamCount(model)) {
        throw UsageError{"--initial " + option + ": " + ModelName(model) + "の初期値は" +
                         std::to_string(FittedParamCount(model)) + "個です。"};
      }
      std::vector<float> values;
      for (const std::string& p : parts) {
        std::optional<float> v = ParseSingle(p);
        if (!v) throw UsageError{"--initial " + option + ": 「" + p + "」は数字ではありません。"};
        values.push_back(*v);
      }
      request.initialValues[model] = values;
    }
  }

  FitSession s;
  CliHost host;
  ProgressLine progress(err, &err == &std::cerr && ::isatty(STDERR_FILENO));
  host.progress = &progress;
  FitRun result = StartFit(s, request, &host);
  progress.Clear();
  if (result.outcome == FitOutcome::Invalid) {
    err << result.message << "\n";
    return 2;
  }

  const int observations = FitObservations(s);
  const bool ok = result.outcome == FitOutcome::Completed;
  // The statistics of every model, after the fit, from its stored parameters.
  const FitStats stats = ok ? ComputeFitStats(s) : FitStats{};
  // The least-squares check of every model, after the fit's result.
  const FitRefinement refined = ok ? RefineFit(s) : FitRefinement{};
  std::ostringstream json;
  json.imbue(std::locale::classic());  // no digit grouping from the user's locale
  json << "{\"material\": " << JsonString(s.material == MaterialKind::Soil ? "soil" : "fertilizer")
       << ", \"source\": " << JsonString(field ? "field" : "laboratory")
       << ", \"observations\": " << observations
       << ", \"models\": " << FitModelsJson(s, ok, host.failedModel, stats, refined);
  if (ok) {
    json << ", \"best\": " << s.currentModel;
    json << ", \"refined_best\": "
         << (refined.refinedBestModel ? std::to_string(refined.refinedBestModel) : "null");
    json << ", \"record\": " << JsonRecord(result.record);
    json << ", \"chart\": [";
    for (size_t i = 0; i < s.chartTable.size(); ++i) {
      const ChartRow& r = s.chartTable[i];
      if (i) json << ", ";
      json << "[" << JsonCell(r.adjTime) << ", " << JsonCell(r.calc) << ", "
           << JsonObserved(r.observed) << "]";
    }
    json << "]";
  }
  json << "}\n";
  if (!WriteResult(out, json.str(), err)) return 2;
  // Too few observations: the result is written, but no parameter set is
  // determined by the data, so it is no success.
  const std::optional<std::string> undeterminedWarning = UndeterminedFitWarning(s);
  const bool undetermined = undeterminedWarning.has_value();
  if (undetermined) err << "警告: " << *undeterminedWarning << "\n";
  if (ok && undetermined) return 3;
  if (!ok) {
    err << ModelName(host.failedModel) << ": パラメータの解が求まりませんでした\n"
        << "--initial " << host.failedModel
        << "=値1,値2,... でこのモデルの初期値を変えて、もう一度実行して下さい。\n";
    return 3;
  }
  return 0;
}

// ---- fit-all ---------------------------------------------------------------

int RunFitAllCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o =
      ParseOptions(args, 1, {"--records", "--std-temp", "--jobs", "--out"}, {"--field", "--store"});
  if (o.help) {
    out << kFitAllHelp;
    return 0;
  }
  if (o.positional.size() != 1) throw UsageError{"データフォルダを1つ指定して下さい。"};
  FitAllOptions f;
  f.dir = o.positional[0];
  if (o.values.count("--records")) f.records = Single(o, "--records");
  f.field = o.flags.count("--field") > 0;
  if (o.values.count("--std-temp")) f.standardTemp = Single(o, "--std-temp");
  if (o.values.count("--jobs")) {
    std::optional<double> jobs = ParseDouble(Single(o, "--jobs"));
    if (!jobs || *jobs < 1 || *jobs != std::floor(*jobs)) {
      throw UsageError{"--jobs には1以上の整数を指定して下さい。"};
    }
    // Never more than the processors anyway.
    f.jobs = static_cast<int>(std::min(*jobs, 1024.0));
  }
  f.store = o.flags.count("--store") > 0;
  f.out = Single(o, "--out");
  f.progress = &err == &std::cerr && ::isatty(STDERR_FILENO);
  WarnUnusualStdTemp(f.standardTemp, err);
  return RunFitAll(f, out, err);
}

// ---- estimate --------------------------------------------------------------

int RunEstimate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o = ParseOptions(args, 1, {"--model", "--params", "--std-temp", "--from", "--to"}, {});
  if (o.help) {
    out << kEstimateHelp;
    return 0;
  }
  if (o.positional.size() != 1) throw UsageError{"地温の表のファイルを1つ指定して下さい。"};
  for (const char* required : {"--model", "--params", "--std-temp"}) {
    if (!o.values.count(required)) throw UsageError{std::string(required) + " を指定して下さい。"};
  }
  std::optional<double> m = ParseDouble(Single(o, "--model"));
  if (!m || *m != static_cast<int16_t>(*m) || !IsValidModel(static_cast<int16_t>(*m))) {
    err << "モデル番号は1〜6で指定して下さい。\n";
    return 2;
  }
  const int16_t model = static_cast<int16_t>(*m);
  ParaRecord para;
  para.ModelNo = model;
  std::vector<std::string> parts = SplitComma(Single(o, "--params"));
  if (static_cast<int>(parts.size()) != RecordParamCount(model)) {
    err << ModelName(model) << "のパラメータは" << RecordParamCount(model) << "個です（"
        << parts.size() << "個指定されました）。\n";
    return 2;
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    std::optional<float> v = ParseSingle(parts[i]);
    if (!v) {
      err << "パラメータ「" << parts[i] << "」が数字ではありません。\n";
      return 2;
    }
    para.Param[i] = *v;
  }
  std::optional<float> ts = ParseSingle(Single(o, "--std-temp"));
  if (!ts) {
    err << "標準温度に数字を記入して下さい\n";
    return 2;
  }
  if (!IsPossibleTemperature(*ts)) {
    err << kStandardTempTooLow << "\n";
    return 2;
  }
  para.StdTemp = *ts;
  WarnUnusualStdTemp(Single(o, "--std-temp"), err);

  std::string text;
  if (!ReadInput(o.positional[0], text, err)) return 2;
  if (text.find_first_not_of(" \t\r\n\xEF\xBB\xBF") == std::string::npos) {
    err << "地温の表が空です。\n";
    return 2;
  }
  auto rows = ParseTable(text);
  SeriesDays days = Data_Separate(JoinGridText(rows));
  if (days.seriesDays <= 0) {
    err << "地温の表に見出しの行しかありません。\n";
    return 2;
  }
  WarnNonConsecutiveDays(days.seriesDates, days.seriesDays, "地温の表", err);
  auto findDate = [&](const std::string& date) {
    for (int d = 1; d <= days.seriesDays; ++d) {
      if (days.seriesDates[d] == date) return d;
    }
    return 0;
  };
  int from = 1, to = days.seriesDays;
  for (const char* name : {"--from", "--to"}) {
    std::string date = Single(o, name);
    if (date.empty()) continue;
    int d = findDate(date);
    if (d == 0) {
      err << "日付「" << date << "」が地温の表にありません。\n";
      return 2;
    }
    (std::string(name) == "--from" ? from : to) = d;
  }
  if (from > to) {
    err << "開始日が終了日より後になっています。\n";
    return 2;
  }
  days = CutSeries(days, from, to);
  for (int d = 1; d <= days.seriesDays; ++d) {
    if (!days.seriesTemps[d].empty() && !IsNumber(days.seriesTemps[d])) {
      err << days.seriesDates[d] << " の地温「" << ShortText(days.seriesTemps[d])
          << "」が数字ではありません。\n";
      return 2;
    }
    if (!days.seriesTemps[d].empty() && !IsPossibleTemperature(*ParseSingle(days.seriesTemps[d]))) {
      err << days.seriesDates[d] << " の地温「" << days.seriesTemps[d]
          << "」が-273℃以下です。地温に-273℃より高い温度を記入して下さい。\n";
      return 2;
    }
  }
  bool anyTemp = false;
  for (int d = 1; d <= days.seriesDays && !anyTemp; ++d) anyTemp = !days.seriesTemps[d].empty();
  if (!anyTemp) {
    err << "地温の表に地温が記入されていません。\n";
    return 2;
  }
  EstimateResult result = EstimateSeries(para, days.seriesTemps, days.seriesDays);
  if (!result.ok) {
    err << result.message << "\n";
    return 2;
  }
  std::ostringstream json;
  json.imbue(std::locale::classic());  // no digit grouping from the user's locale
  json << "{\"model\": " << model << ", \"unit\": " << JsonString(AmountUnitHeader(model))
       << ", \"rows\": [";
  for (int d = 1; d <= days.seriesDays; ++d) {
    if (d > 1) json << ", ";
    const std::optional<double>& a = result.dayAmounts[d];
    json << "[" << JsonString(days.seriesDates[d]) << ", " << (a ? JsonDouble(*a) : "null") << ", "
         << JsonString(a ? FormatFixed(*a, 2) : std::string()) << "]";
  }
  json << "]}\n";
  return WriteResult(out, json.str(), err) ? 0 : 2;
}

// ---- dump ------------------------------------------------------------------

template <typename R>
void DumpTable(std::ostream& json, const char* table, const char* file, const Table<R>& t) {
  json << JsonString(table) << ": {\"file\": " << JsonString(file) << ", \"count\": " << t.Count()
       << ", \"records\": [";
  const std::vector<std::string>& names = RecordFieldNames<R>();
  for (size_t i = 0; i < t.Rows().size(); ++i) {
    if (i) json << ", ";
    std::vector<FieldValue> fields = ToFields(t.Rows()[i]);
    json << "{";
    for (size_t k = 0; k < fields.size(); ++k) {
      if (k) json << ", ";
      json << JsonString(names[k]) << ": ";
      const FieldValue& f = fields[k];
      if (const auto* s = std::get_if<std::string>(&f)) {
        json << JsonString(*s);
      } else if (const auto* n = std::get_if<int16_t>(&f)) {
        json << *n;
      } else if (const auto* v = std::get_if<float>(&f)) {
        json << JsonSingle(*v);
      } else {
        json << JsonBool(std::get<bool>(f));
      }
    }
    json << "}";
  }
  json << "]}";
}

int RunDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o = ParseOptions(args, 1, {}, {});
  if (o.help) {
    out << kDumpHelp;
    return 0;
  }
  if (o.positional.size() != 1) throw UsageError{"データフォルダを1つ指定して下さい。"};
  if (!HoldsDataFiles(o.positional[0], err)) return 2;
  hensuu store;
  FileMessages messages = ReadDataFiles(store, o.positional[0]);
  std::ostringstream json;
  json.imbue(std::locale::classic());  // no digit grouping from the user's locale
  json << "{";
  DumpTable(json, "BaiyoTable", kBaiyoFile, store.BaiyoTable);
  json << ", ";
  DumpTable(json, "ParaTable", kParaFile, store.ParaTable);
  json << ", ";
  DumpTable(json, "TionTable", kTionFile, store.TionTable);
  json << ", ";
  DumpTable(json, "SuiteiTable", kSuiteiFile, store.SuiteiTable);
  json << ", ";
  DumpTable(json, "HojyoTable", kHojyoFile, store.HojyoTable);
  json << ", ";
  DumpTable(json, "SekkeiTable", kSekkeiFile, store.SekkeiTable);
  json << "}\n";
  if (!WriteResult(out, json.str(), err)) return 2;
  for (const std::string& m : messages) err << m << "\n";
  return messages.empty() ? 0 : 1;
}

// ---- report ----------------------------------------------------------------

int RunReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o = ParseOptions(args, 1, {"--out", "--records"}, {});
  if (o.help) {
    out << kReportHelp;
    return 0;
  }
  if (o.positional.size() != 2 ||
      (o.positional[0] != "parameters" && o.positional[0] != "estimations")) {
    throw UsageError{"帳票（parameters か estimations）とデータフォルダを指定して下さい。"};
  }
  const std::string output = Single(o, "--out");
  if (output.empty()) throw UsageError{"--out で書き出す PDF ファイルを指定して下さい。"};
  std::optional<std::string> records;
  if (o.values.count("--records")) records = Single(o, "--records");
  return WriteReport(o.positional[0] == "parameters", o.positional[1], output, records, err);
}

// ---- export ----------------------------------------------------------------

int RunExport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o = ParseOptions(args, 1, {"--out", "--records"}, {});
  if (o.help) {
    out << kExportHelp;
    return 0;
  }
  if (o.positional.size() != 2 ||
      (o.positional[0] != "parameters" && o.positional[0] != "estimations")) {
    throw UsageError{"書き出す記録（parameters か estimations）とデータフォルダを指定して下さい。"};
  }
  const std::string output = Single(o, "--out");
  if (output.empty()) {
    throw UsageError{"--out で書き出すファイル（.xlsx か .csv）を指定して下さい。"};
  }
  std::optional<std::string> records;
  if (o.values.count("--records")) records = Single(o, "--records");
  return WriteExport(o.positional[0] == "parameters", o.positional[1], output, records, err);
}

// ---- supply and normals ----------------------------------------------------

int RunSupply(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o = ParseOptions(
      args, 1, {"--temperatures", "--from", "--to", "--soil", "--fertilizer", "--out", "--plan"},
      {});
  if (o.help) {
    out << kSupplyHelp;
    return 0;
  }
  if (o.positional.size() != 1) throw UsageError{"データフォルダを1つ指定して下さい。"};
  SupplyRequest r;
  r.dir = o.positional[0];
  if (o.values.count("--plan")) r.plan = Single(o, "--plan");
  if (o.values.count("--temperatures")) r.temperatures = Single(o, "--temperatures");
  r.from = Single(o, "--from");
  r.to = Single(o, "--to");
  r.soils = o.values["--soil"];
  r.fertilizers = o.values["--fertilizer"];
  r.out = Single(o, "--out");
  return RunSupplyPlan(r, out, err);
}

int RunNormalsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options o = ParseOptions(args, 1, {"--series", "--year", "--name"}, {"--dry-run"});
  if (o.help) {
    out << kNormalsHelp;
    return 0;
  }
  if (o.positional.size() != 1) throw UsageError{"データフォルダを1つ指定して下さい。"};
  for (const char* required : {"--series", "--year", "--name"}) {
    if (!o.values.count(required)) throw UsageError{std::string(required) + " を指定して下さい。"};
  }
  return RunNormals({o.positional[0], Single(o, "--series"), Single(o, "--year"),
                     Single(o, "--name"), o.flags.count("--dry-run") > 0},
                    out, err);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    if (args.empty()) {
      err << kUsage;
      return 2;
    }
    const std::string& cmd = args[0];
    // "help fit" is "fit --help".
    if (cmd == "help" && args.size() > 1) return RunCli({args[1], "--help"}, out, err);
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
      out << kUsage;
      return 0;
    }
    if (cmd == "--version" || cmd == "-v") {
      out << "kelvora-cli " << kVersion << "\n";
      return 0;
    }
    if (cmd == "fit") return RunFit(args, false, out, err);
    if (cmd == "fit-field") return RunFit(args, true, out, err);
    if (cmd == "fit-all") return RunFitAllCommand(args, out, err);
    if (cmd == "estimate") return RunEstimate(args, out, err);
    if (cmd == "dump") return RunDump(args, out, err);
    if (cmd == "report") return RunReport(args, out, err);
    if (cmd == "export") return RunExport(args, out, err);
    if (cmd == "import-temperatures") return RunImportTemperatures(args, out, err);
    if (cmd == "supply") return RunSupply(args, out, err);
    if (cmd == "normals") return RunNormalsCommand(args, out, err);
    err << "不明なコマンドです: " << cmd << "\n\n" << kUsage;
    return 2;
  } catch (const UsageError& e) {
    err << e.message << "\n（kelvora-cli " << (args.empty() ? "" : args[0])
        << " --help で使い方を表示します）\n";
    return 2;
  }
}

}  // namespace kelvora
